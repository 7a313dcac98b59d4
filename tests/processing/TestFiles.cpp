#include "TestFiles.h"

#include <windows.h>

namespace {

HookRecorder* Recorder(void* context)
{
    return static_cast<HookRecorder*>(context);
}

} // namespace

HookRecorder::HookRecorder()
{
    PanelHooks hooks{};
    hooks.context = this;
    hooks.ShowStatusMessage = [](void* c, const char* text, int32_t notice) {
        Recorder(c)->calls.push_back({"status", notice, text ? text : "<null>", ""});
    };
    hooks.ShowMessageBox = [](void* c, const char* text, const char* caption, uint32_t icon) {
        Recorder(c)->calls.push_back({"box", static_cast<int32_t>(icon), text, caption});
    };
    hooks.SetControlText = [](void* c, int32_t id, const char* text) {
        Recorder(c)->calls.push_back({"text", id, text, ""});
    };
    hooks.IsButtonChecked = [](void* c, int32_t id) -> int32_t {
        return id == IdConnectDevice ? Recorder(c)->connected : 0;
    };
    hooks.SetButtonCheck = [](void* c, int32_t id, int32_t checked) {
        Recorder(c)->calls.push_back({"check", id, std::to_string(checked), ""});
    };
    hooks.SendCommand = [](void* c, int32_t id) {
        Recorder(c)->calls.push_back({"command", id, "", ""});
        if (Recorder(c)->onCommand)
            Recorder(c)->onCommand(id);
    };
    hooks.ReadLogSettings = [](void* c, LogSettings* settings) { *settings = Recorder(c)->settings; };
    hooks.GetLocalTime = [](void* c, LogTime* time) { *time = Recorder(c)->now; };
    PanelBinding = hooks;
}

HookRecorder::~HookRecorder()
{
    PanelBinding = PanelHooks{};
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

std::string HookRecorder::LastText(int32_t controlId) const
{
    std::string text;
    for (const HookCall& call : calls) {
        if (call.kind == "text" && call.id == controlId)
            text = call.text;
    }
    return text;
}
