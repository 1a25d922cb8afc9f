#pragma once
// CRhinoEventWatcherEx and CRhinoIsIdle: watchers of one notification each. The idle
// watcher is told when the host becomes idle: after every command (CRhinoApp::RunScript
// and friends) and whenever the host program pumps idle (CRhinoApp::OnIdle).
//
// Like CRhinoEventWatcher: constructed unregistered and disabled, notified only while
// registered and enabled, unregistered on destruction; main thread only.

#include "sdk/geometry/on_uuid.h"

class CRhinoEventWatcherEx {
public:
    explicit CRhinoEventWatcherEx(const ON_UUID& plugInId) : plugInId_(plugInId) {}
    CRhinoEventWatcherEx(const CRhinoEventWatcherEx&) = delete;
    CRhinoEventWatcherEx& operator=(const CRhinoEventWatcherEx&) = delete;
    virtual ~CRhinoEventWatcherEx();

    void Register();
    void UnRegister();
    void Enable(bool enable) { enabled_ = enable; }
    bool IsEnabled() const { return enabled_; }
    const ON_UUID& PlugInId() const { return plugInId_; }

private:
    ON_UUID plugInId_;
    bool registered_ = false;
    bool enabled_ = false;
};

class CRhinoIsIdle : public CRhinoEventWatcherEx {
public:
    class CParameters {
    public:
        // How many idle notifications the host has sent so far, this one included.
        unsigned int m_idle_count = 0;
    };

    explicit CRhinoIsIdle(const ON_UUID& plugInId) : CRhinoEventWatcherEx(plugInId) {}

    virtual void Notify(const CParameters& parameters) = 0;
};
