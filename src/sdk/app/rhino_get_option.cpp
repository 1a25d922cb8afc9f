#include "sdk/app/rhino_get_option.h"

#include <cmath>
#include <cstdlib>

#include "sdk/app/rhino_app.h"

namespace {

bool validOptionName(const ON_wString& name) {
    if (name.IsEmpty())
        return false;
    for (int i = 0; i < name.Length(); ++i) {
        const char16_t c = name[i];
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
        if (!ok)
            return false;
    }
    return true;
}

bool startsWith(const ON_wString& text, const ON_wString& prefix) {
    return prefix.Length() <= text.Length() && text.Left(prefix.Length()).EqualOrdinal(prefix, true);
}

bool parseNumber(const ON_wString& token, double& value) {
    const std::string text = token.ToUtf8();
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && !text.empty() && std::isfinite(value);
}

}  // namespace

int CRhinoGet::AddCommandOption(const CRhinoCommandOptionName& name, const CRhinoCommandOptionValue& value) {
    if (!validOptionName(name.m_english_option_name))
        return 0;
    CRhinoCommandOption option;
    option.m_option_index = static_cast<int>(options_.size()) + 1;
    option.m_english_option_name = name.m_english_option_name;
    option.m_local_option_name =
        name.m_local_option_name.IsEmpty() ? name.m_english_option_name : name.m_local_option_name;
    option.m_english_option_value = value.m_english_option_value;
    option.m_local_option_value = value.m_local_option_value;
    options_.push_back(option);
    return option.m_option_index;
}

const CRhinoCommandOption* CRhinoGet::Option() const {
    if (result_ != option || chosen_ < 1 || chosen_ > static_cast<int>(options_.size()))
        return nullptr;
    return &options_[static_cast<size_t>(chosen_ - 1)];
}

CRhinoGet::result CRhinoGet::getAnswer() {
    chosen_ = 0;
    ON_wString prompt = prompt_;
    if (!options_.empty()) {
        prompt += u" (";
        for (const CRhinoCommandOption& o : options_) {
            prompt += u' ';
            prompt += o.m_local_option_name;
        }
        prompt += u" )";
    }
    for (;;) {
        ON_wString token;
        if (!RhinoApp().nextCommandToken(prompt, token))
            return result_ = acceptNothing_ ? nothing : cancel;
        token.TrimLeftAndRight();
        while (token.Length() > 0 && (token[0] == u'_' || token[0] == u'-'))
            token = token.Mid(1);
        if (token.IsEmpty() || token.EqualOrdinal(u"Enter", true)) {
            if (acceptNothing_)
                return result_ = nothing;
            continue;
        }
        if (token.EqualOrdinal(u"Cancel", true) || token.EqualOrdinal(u"Escape", true))
            return result_ = cancel;
        int exact = 0, prefixMatches = 0, prefixChoice = 0;
        for (const CRhinoCommandOption& o : options_) {
            if (token.EqualOrdinal(o.m_english_option_name, true) || token.EqualOrdinal(o.m_local_option_name, true))
                exact = o.m_option_index;
            else if (startsWith(o.m_english_option_name, token) || startsWith(o.m_local_option_name, token)) {
                ++prefixMatches;
                prefixChoice = o.m_option_index;
            }
        }
        if (exact == 0 && prefixMatches == 1)
            exact = prefixChoice;
        if (exact != 0) {
            chosen_ = exact;
            return result_ = option;
        }
        if (acceptNumber_ && parseNumber(token, number_))
            return result_ = number;
        RhinoApp().Print(u"Unknown command option \"%ls\".\n", token.Array());
    }
}
