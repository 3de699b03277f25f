#pragma once

// How the setup log writes its lines.
enum class LogFormat {
    // CMTrace markup, which the log viewers of Windows administrators (CMTrace, OneTrace) read and
    // colour by type.
    kCmTrace,
    // One plain line each, "2026-12-08T09:15:01.029Z info pavonis: Setup started.", with its time
    // in universal time: what `less`, `grep` and the journal's readers on Linux expect.
    kPlainText,
};

// The format of this system's administrators, chosen here alone so that no other code asks which
// system it was built for.
#ifdef _WIN32
constexpr LogFormat kNativeLogFormat = LogFormat::kCmTrace;
#else
constexpr LogFormat kNativeLogFormat = LogFormat::kPlainText;
#endif
