// The columns of the soak run's CSV, one row every sample: written by panel_soak (under Wine or
// Windows), read by soak_plot (natively).
#pragma once

namespace soak {

constexpr const char* ElapsedSeconds = "elapsed_s";
constexpr const char* WorkingSetBytes = "working_set_bytes";
constexpr const char* PrivateBytes = "private_bytes";
constexpr const char* Handles = "handles";
constexpr const char* GdiObjects = "gdi_objects";
constexpr const char* UserObjects = "user_objects";
constexpr const char* ProcessCpuPercent = "process_cpu_pct";
constexpr const char* WindowThreadCpuPercent = "window_thread_cpu_pct";
constexpr const char* SpectraHandled = "spectra_handled";
constexpr const char* SpectraLost = "spectra_lost";
constexpr const char* LogBytes = "log_bytes";

constexpr const char* All[] = {ElapsedSeconds, WorkingSetBytes, PrivateBytes, Handles, GdiObjects, UserObjects,
                               ProcessCpuPercent, WindowThreadCpuPercent, SpectraHandled, SpectraLost, LogBytes};

} // namespace soak
