#include "ui/web_addresses.h"

#include "link/url_encode.h"
#include "plugin/plugin_identity.h"
#include "sdk/app/rhino_app.h"

using namespace vantro::plugin;

namespace {

ON_wString encoded(const ON_wString& text) { return ON_wString(vantro::UrlEncode(text.Array()).c_str()); }

}  // namespace

ON_wString UtmQuery() {
    static const ON_wString query = [] {
        const ON_wString source =
            ON_wString::FormatToString(u"Rhino %d SR%d", RhinoApp().ExeVersion(), RhinoApp().ExeServiceRelease());
        return ON_wString::FormatToString(u"?utm_source=%ls&utm_medium=%ls&utm_campaign=%ls", encoded(source).Array(),
                                          encoded(kBuildVersion).Array(), encoded(u"Rhino6 Vantro").Array());
    }();
    return query;
}

ON_wString HomePageUrl() {
    static const ON_wString url = ON_wString(kSiteAddress) + UtmQuery();
    return url;
}

ON_wString SupportPageUrl() {
    static const ON_wString url = ON_wString(kSiteAddress) + kSupportPath + UtmQuery();
    return url;
}

ON_wString ExportersPageUrl() {
    static const ON_wString url = ON_wString(kSiteAddress) + kExportersPath + UtmQuery();
    return url;
}
