#include "TestFiles.h"

#include <windows.h>

namespace {

HookRecorder* Recorder(void* context)
{
    return static_cast<HookRecorder*>(context);
}

} // namespace

HookRecorder::HookRecorder(GlobalCtrl* ctrl) : bound(ctrl)
{
    PanelHooks hooks{};
    hooks.context = this;
    hooks.ShowStatusMessage = [](void* c, const char* text, int32_t notice) {
        Recorder(c)->calls.push_back({"status", notice, text ? text : "<null>", ""});
    };
    hooks.ShowMessageBox = [](void* c, const char* text, const char* caption, uint32_t icon) {
        Recorder(c)->calls.push_back({"box", static_cast<int32_t>(icon), text, caption});
    };
    hooks.ShowLogEntryCount = [](void* c, const char* text) { Recorder(c)->calls.push_back({"entries", 0, text, ""}); };
    hooks.ShowLogFileName = [](void* c, const char* text) { Recorder(c)->calls.push_back({"logfile", 0, text, ""}); };
    hooks.IsDeviceConnected = [](void* c) { return Recorder(c)->connected; };
    hooks.RefuseLogging = [](void* c) { Recorder(c)->calls.push_back({"refuse", 0, "", ""}); };
    hooks.SwitchLoggingOff = [](void* c) {
        Recorder(c)->calls.push_back({"logoff", 0, "", ""});
        if (Recorder(c)->onLoggingOff)
            Recorder(c)->onLoggingOff();
    };
    hooks.Disconnect = [](void* c) { Recorder(c)->calls.push_back({"disconnect", 0, "", ""}); };
    hooks.ReadLogSettings = [](void* c, LogSettings* settings) {
        if (Recorder(c)->onReadSettings)
            Recorder(c)->onReadSettings();
        *settings = Recorder(c)->settings;
    };
    hooks.GetLocalTime = [](void* c, LogTime* time) { *time = Recorder(c)->now; };
    hooks.ReadTickCount = [](void* c) { return Recorder(c)->tick; };
    bound->Hooks = hooks;
}

HookRecorder::~HookRecorder()
{
    bound->Hooks = PanelHooks{};
}

std::vector<HookCall> HookRecorder::Of(const std::string& kind) const
{
    std::vector<HookCall> found;
    for (const HookCall& call : calls) {
        if (call.kind == kind)
            found.push_back(call);
    }
    return found;
}

std::string HookRecorder::LastText(const std::string& kind) const
{
    std::string text;
    for (const HookCall& call : calls) {
        if (call.kind == kind)
            text = call.text;
    }
    return text;
}
