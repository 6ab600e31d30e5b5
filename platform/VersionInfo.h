#pragma once
#include <cstdint>
#include <optional>
#include <string>

// The parts of an exe's version resource that the title and the tray tip
// use. revision is the last of the four file version numbers (the build).
struct ProgramVersion {
    std::string productName;
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t revision = 0;

    bool operator==(const ProgramVersion&) const = default;
};

// Empty when the file cannot be read or carries no version resource.
std::optional<ProgramVersion> ReadProgramVersion(const std::string& exePath);
