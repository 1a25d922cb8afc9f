#pragma once
// CRhinoGet / CRhinoGetOption: ask the user for one answer among command options.
//
// Answers come from the running command's input: the tokens of the script that
// started it (CRhinoApp::RunScript), then, when the host program installed one, the
// interactive input callback (CRhinoApp::SetCommandInput). A token is matched
// case-insensitively (a leading '_' or '-' is ignored) against the options' English
// and local names, exactly or as an unambiguous prefix; "Enter" (or an empty line)
// answers nothing, "Cancel" or "Escape" cancels, a number answers a number when
// numbers are accepted. An unknown token prints a line in the command area and the
// next token is read. When the input runs out the answer is nothing if that is
// accepted, else cancel.
// Thread-safety: main thread only.

#include <vector>

#include "sdk/geometry/on_string.h"

class CRhinoCommandOptionName {
public:
    CRhinoCommandOptionName(const char16_t* englishName, const char16_t* localName)
        : m_english_option_name(englishName), m_local_option_name(localName) {}
    ON_wString m_english_option_name;
    ON_wString m_local_option_name;
};

class CRhinoCommandOptionValue {
public:
    CRhinoCommandOptionValue() = default;  // an option without a value
    CRhinoCommandOptionValue(const char16_t* englishValue, const char16_t* localValue)
        : m_english_option_value(englishValue), m_local_option_value(localValue) {}
    ON_wString m_english_option_value;
    ON_wString m_local_option_value;
};

class CRhinoCommandOption {
public:
    int m_option_index = 0;  // 1-based, as AddCommandOption returned it
    ON_wString m_english_option_name;
    ON_wString m_local_option_name;
    ON_wString m_english_option_value;
    ON_wString m_local_option_value;
};

class CRhinoGet {
public:
    enum result : unsigned int {
        no_result = 0,
        cancel = 1,
        nothing = 2,
        option = 3,
        number = 4,
        color = 5,
        undo = 6,
        miss = 7,
        point = 8,
        point2d = 9,
        line2d = 10,
        rect2d = 11,
        object = 12,
        string = 13,
        custom_message = 14,
        timeout = 15,
    };

    CRhinoGet() = default;
    virtual ~CRhinoGet() = default;

    void SetCommandPrompt(const char16_t* prompt) { prompt_ = prompt; }
    void AcceptNothing(bool accept = true) { acceptNothing_ = accept; }

    // Adds an option; returns its index (1, 2, ...), or 0 when the English name is
    // empty or contains a character other than letters, digits and '_'.
    int AddCommandOption(const CRhinoCommandOptionName& name,
                         const CRhinoCommandOptionValue& value = CRhinoCommandOptionValue());

    // The option chosen by the last get; null unless the result was option.
    const CRhinoCommandOption* Option() const;
    double Number() const { return number_; }
    result Result() const { return result_; }

protected:
    result getAnswer();

private:
    ON_wString prompt_;
    bool acceptNothing_ = false;
    bool acceptNumber_ = false;
    std::vector<CRhinoCommandOption> options_;
    int chosen_ = 0;
    double number_ = 0.0;
    result result_ = no_result;
};

class CRhinoGetOption : public CRhinoGet {
public:
    // Reads one answer (see the file comment).
    result GetOption() { return getAnswer(); }
};
