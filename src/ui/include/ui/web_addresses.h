#pragma once
// The maker's web pages the plug-in opens, each with the tracking query
// "?utm_source=<host and service release>&utm_medium=<build version>&utm_campaign=
// Rhino6 Vantro" (every part percent-encoded with UrlEncode). Built on first use and
// kept for the process's life (thread-safe initialisation). Main thread: the first
// call reads the host's version.

#include "sdk/geometry/on_string.h"

ON_wString UtmQuery();
ON_wString HomePageUrl();
ON_wString SupportPageUrl();
ON_wString ExportersPageUrl();
