// The tests' own count of record files, made with the JSON library line by line and every record
// kept, for the report's figures to be held to: what the report gathers as the records stream
// past must equal what a plain count of all of them gives.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/command_line.h"
#include "cli/events.h"
#include "cli/json_line.h"
#include "tests/cli/command_run.h"

namespace quorvanex::test_support {

inline void WriteText(const std::string& path, const std::string& text, bool append = false) {
    std::ofstream file(std::filesystem::path(path),
                       std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    file << text;
    EXPECT_TRUE(file.good()) << path;
}

inline void AppendText(const std::string& path, const std::string& text) {
    WriteText(path, text, true);
}

// Whether the line is a record by the rules of the command line's page, judged by the JSON
// library: one object with each field of the record, of its kind.
inline bool IsRecordByTheLibrary(const std::string& line) {
    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return false;
    }
    const auto has = [&](const char* key) { return json.contains(key); };
    const auto text = [&](const char* key) { return has(key) && json[key].is_string(); };
    // A whole number of 0 or more up to the largest, or null where null may stand.
    const auto count = [&](const char* key, std::uint64_t largest, bool nullable) {
        if (!has(key)) {
            return false;
        }
        const nlohmann::json& value = json[key];
        if (value.is_null()) {
            return nullable;
        }
        return (value.is_number_unsigned() && value.get<std::uint64_t>() <= largest) ||
               (value.is_number_integer() && !value.is_number_unsigned() &&
                value.get<std::int64_t>() == 0);
    };
    if (!text("time") || !text("run") || !text("run_id") || !text("product") || !text("outcome") ||
        json["run_id"].get<std::string>().empty() ||
        !cli::OutcomeNamed(json["outcome"].get<std::string>()) ||
        !count("device", 0xFFFFFFFFu, false) || !count("fatal_code", 0xFF, true) ||
        (json["fatal_code"].is_number() && json["fatal_code"].get<std::int64_t>() == 0) ||
        !count("frames", ~std::uint64_t{0}, true) || !count("resends", 0xFFFFFFFFu, true) ||
        !has("seconds") || !json["seconds"].is_number() || !has("images") ||
        !json["images"].is_array()) {
        return false;
    }
    if (has("event") && json["event"] != "record") {
        return false;
    }
    const double seconds = json["seconds"].get<double>();
    if (!(seconds >= 0 && seconds < 1000000)) {
        return false;
    }
    for (const nlohmann::json& image : json["images"]) {
        if (!image.is_object() || !image.contains("name") || !image["name"].is_string() ||
            !image.contains("sha256") || !image["sha256"].is_string()) {
            return false;
        }
    }
    // The time as the records write it, a day that the calendar has.
    const std::string time = json["time"];
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    static const std::regex written(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)");
    if (!std::regex_match(time, written) ||
        std::sscanf(time.c_str(), "%d-%d-%dT%d:%d:%dZ", &year, &month, &day, &hour, &minute,
                    &second) != 6) {
        return false;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    return date.ok() && hour < 24 && minute < 60 && second < 60;
}

struct RecordCount {
    struct File {
        std::uint64_t lines = 0;
        std::uint64_t records = 0;
        std::uint64_t notRecords = 0;
    };
    struct Run {
        std::uint64_t units = 0;
        std::map<std::string, std::uint64_t> outcomes;
        double start = 1e18;  // seconds since the first record's day, the unit's own seconds off
        double end = -1e18;
    };
    std::map<std::string, File> files;                            // by name
    std::map<std::string, Run> runs;                              // by run_id
    std::map<std::pair<std::string, int>, std::uint64_t> causes;  // outcome, fatal code or 0
    std::map<std::string, std::uint64_t> imageSets;  // the images' JSON, of the units done
    std::vector<double> doneSeconds;
    std::uint64_t units = 0;
    std::uint64_t done = 0;
    std::uint64_t notRecords = 0;
};

// Seconds since 1970 of a record's time, by the system's own calendar.
inline double SecondsOf(const std::string& time) {
    std::tm parts = {};
    std::istringstream(time) >> std::get_time(&parts, "%Y-%m-%dT%H:%M:%SZ");
    const auto days = std::chrono::sys_days(
        std::chrono::year_month_day{std::chrono::year(parts.tm_year + 1900),
                                    std::chrono::month(static_cast<unsigned>(parts.tm_mon + 1)),
                                    std::chrono::day(static_cast<unsigned>(parts.tm_mday))});
    return static_cast<double>(days.time_since_epoch().count()) * 86400 + parts.tm_hour * 3600 +
           parts.tm_min * 60 + parts.tm_sec;
}

inline RecordCount CountRecords(const std::vector<std::string>& names) {
    RecordCount count;
    for (const std::string& name : names) {
        std::ifstream file(std::filesystem::path(name), std::ios::binary);
        RecordCount::File& counts = count.files[name];
        for (std::string line; std::getline(file, line);) {
            ++counts.lines;
            if (!IsRecordByTheLibrary(line)) {
                ++counts.notRecords;
                ++count.notRecords;
                continue;
            }
            ++counts.records;
            const nlohmann::json record = nlohmann::json::parse(line);
            const std::string outcome = record["outcome"];
            const double seconds = record["seconds"].get<double>();
            RecordCount::Run& run = count.runs[record["run_id"]];
            ++run.units;
            ++run.outcomes[outcome];
            run.start = std::min(run.start, SecondsOf(record["time"]) - seconds);
            run.end = std::max(run.end, SecondsOf(record["time"]));
            ++count.units;
            if (outcome == "done") {
                ++count.done;
                count.doneSeconds.push_back(seconds);
                ++count.imageSets[record["images"].dump()];
            } else {
                const int code = record["fatal_code"].is_null() || outcome != "fatal"
                                     ? 0
                                     : record["fatal_code"].get<int>();
                ++count.causes[{outcome, code}];
            }
        }
    }
    return count;
}

// The report's command line run in this process; its exit code, its output and its errors.
inline int RunReport(const std::vector<std::string>& words, std::string& output,
                     std::string& errors) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int exitCode = cli::RunCommandLine(words);
    errors = ::testing::internal::GetCapturedStderr();
    output = ::testing::internal::GetCapturedStdout();
    return exitCode;
}

// The seconds within which this percentage of the units done ended, by the nearest rank.
inline double AtPercent(std::vector<double> seconds, unsigned percent) {
    std::sort(seconds.begin(), seconds.end());
    const std::size_t rank = std::max<std::size_t>(1, (percent * seconds.size() + 99) / 100);
    return seconds[rank - 1];
}

// The time during which a run was going, the runs' spans joined.
inline double LineSeconds(const RecordCount& count) {
    std::vector<std::pair<double, double>> spans;
    for (const auto& [id, run] : count.runs) {
        spans.emplace_back(run.start, std::max(run.start, run.end));
    }
    std::sort(spans.begin(), spans.end());
    double total = 0;
    double reached = -1e18;
    for (const auto& [start, end] : spans) {
        total += std::max(0.0, end - std::max(start, reached));
        reached = std::max(reached, end);
    }
    return total;
}

// The event carries the fields of its row of the table of events, no other.
inline void ExpectFieldsOfItsRow(const cli::Json& event) {
    const std::optional<cli::Event> named = cli::EventNamed(event["event"]);
    ASSERT_TRUE(named) << event.dump();
    const std::vector<const char*>& fields = cli::EventFields(*named);
    for (const auto& item : event.items()) {
        const std::string& key = item.key();
        EXPECT_TRUE(key == cli::field::kEventField ||
                    std::find_if(fields.begin(), fields.end(),
                                 [&](const char* field) { return key == field; }) != fields.end())
            << key << " is not a field of " << event["event"];
    }
}

// The report's events say what the count says.
inline void ExpectReportEquals(const std::string& events, const RecordCount& expected) {
    std::map<std::string, RecordCount::Run> runs;
    std::map<std::pair<std::string, int>, std::uint64_t> causes;
    std::map<std::string, std::uint64_t> imageSets;
    nlohmann::json totals;
    for (const cli::Json& event : JsonLines(events)) {
        const std::string name = event["event"];
        ExpectFieldsOfItsRow(event);
        if (name == "records_file") {
            const RecordCount::File& file = expected.files.at(event["file"]);
            EXPECT_EQ(event["lines"], file.lines) << event.dump();
            EXPECT_EQ(event["records"], file.records) << event.dump();
            EXPECT_EQ(event["not_records"], file.notRecords) << event.dump();
        } else if (name == "run") {
            RecordCount::Run& run = runs[event["run_id"]];
            run.units = event["units"];
            for (const auto& [outcome, units] : event["outcomes"].items()) {
                run.outcomes[outcome] = units;
            }
            const auto done = run.outcomes.find("done");
            EXPECT_EQ(event["done"], done == run.outcomes.end() ? 0 : done->second);
        } else if (name == "cause") {
            causes[{event["outcome"],
                    event["fatal_code"].is_null() ? 0 : event["fatal_code"].get<int>()}] =
                event["units"];
        } else if (name == "image_set") {
            imageSets[event["images"].dump()] = event["units"];
        } else if (name == "totals") {
            totals = nlohmann::json::parse(event.dump());
        }
    }
    ASSERT_EQ(runs.size(), expected.runs.size());
    for (const auto& [id, run] : expected.runs) {
        EXPECT_EQ(runs[id].units, run.units) << id;
        EXPECT_EQ(runs[id].outcomes, run.outcomes) << id;
    }
    EXPECT_EQ(causes, expected.causes);
    EXPECT_EQ(imageSets, expected.imageSets);
    EXPECT_EQ(totals["units"], expected.units);
    EXPECT_EQ(totals["done"], expected.done);
    if (expected.done > 0) {
        EXPECT_DOUBLE_EQ(totals["median_seconds"].get<double>(),
                         AtPercent(expected.doneSeconds, 50));
        EXPECT_DOUBLE_EQ(totals["p95_seconds"].get<double>(), AtPercent(expected.doneSeconds, 95));
    }
    if (expected.units > 0) {
        EXPECT_NEAR(totals["first_pass"].get<double>(), 100.0 * expected.done / expected.units,
                    0.051);
    }
    EXPECT_NEAR(totals["line_seconds"].get<double>(), LineSeconds(expected), 0.051);
}

}  // namespace quorvanex::test_support
