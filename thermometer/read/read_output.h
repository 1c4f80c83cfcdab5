// What ambrel-read writes: reading lines in its three formats and the
// metrics file for node_exporter's textfile collector.
#pragma once

#include <ctime>
#include <optional>
#include <string>

enum class LineFormat { Plain, Csv, Json };

// Local time with the zone's offset: "2026-12-08T10:15:00+01:00".
std::string LocalTimestamp(std::time_t when);

// The header line CSV starts with; empty for the other formats.
std::string LineHeader(LineFormat format);

// One reading as a line without its newline.
std::string ReadingLine(LineFormat format, const std::string& timestamp, float t);

// The metrics text: the temperature only while a reading is current, the up
// gauge always. device is the thermometer's path; empty leaves the label out.
std::string PrometheusText(const std::string& device, std::optional<float> t);

// Replaces path with text so that a reader sees the old file or the new one,
// never a part: a temporary file in the same folder, renamed over it.
// Returns an empty string or the system's error message.
std::string ReplaceFileAtomically(const std::string& path, const std::string& text);
