// report: each line read as a record exactly when the JSON library and the record's rules say it
// is one; its figures by their definitions, on records made for them; the files named refused, as
// a sentence and an exit code, before anything is read or written; the page and the CSV.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/exit_codes.h"
#include "cli/report/record_line.h"
#include "seam/binary_file.h"
#include "tests/cli/report_count.h"
#include "tests/support/image_files.h"

namespace quorvanex::cli {
namespace {

const std::string kSha = "c4c82bc8b00ba5a04820da53ff1ec5152c641ee46caf4ddfc96cbc888ae5e8f2";

// A record line as the program writes one, with the values given.
std::string Record(const std::string& time, const std::string& runId, int device,
                   const std::string& outcome, double seconds, int fatalCode = 0,
                   const std::string& run = "station-1") {
    nlohmann::ordered_json record = {
        {"time", time},
        {"run", run},
        {"run_id", runId},
        {"device", device},
        {"product", "QUORVANEX emulator"},
        {"images", {{{"name", "QUORVANEX-FPGA-2.45-1013.bin"}, {"sha256", kSha}}}},
        {"outcome", outcome},
        {"fatal_code", fatalCode != 0 ? nlohmann::json(fatalCode) : nlohmann::json()},
        {"seconds", seconds},
        {"frames", 568},
        {"resends", 0}};
    return record.dump() + "\n";
}

bool ReadByTheReport(const std::string& line) {
    ReadRecord record;
    return ReadRecordLine(line, record);
}

// Lines of every kind made from a record line: the line as it is, as an event, with a line end
// of Windows, with something after it, with fields of other kinds, of other values, or missing.
std::vector<std::string> LinesOfEveryKind(const std::string& line) {
    return {
        line,
        R"({"event":"record",)" + line.substr(1),
        R"({"event":"done",)" + line.substr(1),
        line + "\r",
        line + " x",
        R"({"extra":{"a":[1,{"b":null}]},)" + line.substr(1),
        R"({"time":"2026-02-29T00:00:00Z")" + line.substr(30),
        R"({"time":"2028-02-29T00:00:00Z")" + line.substr(30),
        R"({"time":"2026-12-08 06:02:11Z")" + line.substr(30),
        std::regex_replace(line, std::regex(R"("device":3)"), R"("device":-0)"),
        std::regex_replace(line, std::regex(R"("device":3)"), R"("device":3.0)"),
        std::regex_replace(line, std::regex(R"("device":3)"), R"("device":4294967296)"),
        std::regex_replace(line, std::regex(R"("fatal_code":6)"), R"("fatal_code":0)"),
        std::regex_replace(line, std::regex(R"("fatal_code":6)"), R"("fatal_code":256)"),
        std::regex_replace(line, std::regex(R"("seconds":2.5)"), R"("seconds":-1)"),
        std::regex_replace(line, std::regex(R"("seconds":2.5)"), R"("seconds":1e300)"),
        std::regex_replace(line, std::regex(R"("seconds":2.5)"), R"("seconds":"2.5")"),
        std::regex_replace(line, std::regex(R"("outcome":"fatal")"), R"("outcome":"exploded")"),
        std::regex_replace(line, std::regex(R"("run":"station-1")"),
                           R"("run":"st\u00e9\ud83d\ude00")"),
        std::regex_replace(line, std::regex(R"("run":"station-1")"), R"("run":"\ud83d")"),
        std::regex_replace(line, std::regex(R"("run":"station-1")"), "\"run\":\"\xc3\x28\""),
        std::regex_replace(line, std::regex(R"("run_id":"run-a")"), R"("run_id":"")"),
        std::regex_replace(line, std::regex(R"("frames":568)"), R"("frames":18446744073709551616)"),
        std::regex_replace(line, std::regex(R"("sha256":")"), R"("sha":")"),
        "written by hand",
        "[3]",
        "",
    };
}

TEST(RecordLine, IsARecordExactlyWhenTheJsonLibraryAndTheRulesSaySo) {
    const std::string written = Record("2026-12-08T06:02:11Z", "run-a", 3, "fatal", 2.5, 6);
    const std::string line = written.substr(0, written.size() - 1);
    ReadRecord record;
    ASSERT_TRUE(ReadRecordLine(line, record));
    EXPECT_EQ(record.device, 3u);
    EXPECT_EQ(record.outcome, Outcome::Fatal);
    EXPECT_EQ(record.fatalCode, 6);
    EXPECT_EQ(record.tenths, 25u);
    EXPECT_EQ(record.images.at(0).sha256, kSha);
    const std::vector<std::string> lines = LinesOfEveryKind(line);
    std::vector<std::size_t> recordsAmongThem;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(ReadByTheReport(lines[i]), test_support::IsRecordByTheLibrary(lines[i]))
            << lines[i];
        if (ReadByTheReport(lines[i])) {
            recordsAmongThem.push_back(i);
        }
    }
    // As written, as an event, with a CR, with a field of another tool's, of a leap day, with a
    // device of -0 (0, as the library reads it), and with characters beyond ASCII.
    EXPECT_EQ(recordsAmongThem, (std::vector<std::size_t>{0, 1, 3, 5, 7, 9, 18}));
    // And every line one byte away from a record: a byte left out, changed or added.
    std::mt19937 random(34);
    int records = 0;  // among the lines changed
    const std::string bytes =
        std::string("{}[]\",:.-+eE0123456789 \t\\nulrtf") + '\0' + "\x80\xc3\xff";
    for (int i = 0; i < 4000; ++i) {
        std::string changed = line;
        const std::size_t at = random() % changed.size();
        const char byte = bytes[random() % bytes.size()];
        switch (random() % 3) {
            case 0:
                changed.erase(at, 1);
                break;
            case 1:
                changed[at] = byte;
                break;
            default:
                changed.insert(at, 1, byte);
        }
        ASSERT_EQ(ReadByTheReport(changed), test_support::IsRecordByTheLibrary(changed)) << changed;
        records += ReadByTheReport(changed) ? 1 : 0;
    }
    EXPECT_GT(records, 400) << "many lines one byte away are still records";
    EXPECT_LT(records, 3600) << "and many are not";
    // A field written twice is no record of this program's, whichever value the library keeps.
    EXPECT_FALSE(ReadByTheReport(R"({"device":1,)" + line.substr(1)));
}

class ReportTest : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return (folder.Path() / name).string(); }
    int Report(std::vector<std::string> words) {
        words.insert(words.begin(), "report");
        return test_support::RunReport(words, output, errors);
    }
    test_support::ScratchFolder folder;
    std::string output;
    std::string errors;
};

TEST_F(ReportTest, TheFiguresFollowTheirDefinitions) {
    // Run a: ten units done in 1.0 to 10.0 s, one after another; run b at another station, over
    // the end of run a; run c an hour later, two failures.
    std::string a;
    for (int unit = 0; unit < 10; ++unit) {
        a += Record("2026-12-08T06:00:" + std::to_string(10 + unit * 5) + "Z", "a", unit, "done",
                    1.0 + unit);
    }
    // Between them a line of 3 MiB, longer than a piece of the file as it is read: no record,
    // and the record after it read whole.
    const std::string b = Record("2026-12-08T06:01:20Z", "b", 0, "done", 40.0) +
                          std::string(3 * 1024 * 1024, 'x') + "\n" +
                          Record("2026-12-08T06:01:30Z", "b", 1, "fatal", 30.0, 7);
    const std::string c = Record("2026-12-08T07:00:00Z", "c", 0, "crashed", 12.3) +
                          Record("2026-12-08T07:00:05Z", "c", 300, "fatal", 2.0, 6);
    test_support::WriteText(PathOf("one.jsonl"), a + c);
    test_support::WriteText(PathOf("two.jsonl"), b);
    ASSERT_EQ(Report({PathOf("one.jsonl"), PathOf("two.jsonl"), "--json"}), kExitDone) << errors;
    const std::vector<Json> events = test_support::JsonLines(output);
    const Json& totals = events.back();
    EXPECT_EQ(totals["event"], "totals");
    EXPECT_EQ(totals["units"], 14);
    EXPECT_EQ(totals["done"], 11);
    // The nearest rank of 11 units done: the 6th (median) and the 11th (95th percentile).
    EXPECT_EQ(totals["median_seconds"], 6.0);
    EXPECT_EQ(totals["p95_seconds"], 40.0);
    // Run a from 06:00:09 to 06:00:55, run b from 06:00:40 to 06:01:30, run c from 06:59:47.7
    // to 07:00:05: 81 s and 17.3 s.
    EXPECT_EQ(totals["line_seconds"], 98.3);
    EXPECT_EQ(totals["first_pass"], 78.6);
    EXPECT_EQ(totals["done_per_hour"], 402.8);
    EXPECT_EQ(events[1]["not_records"], 1);
    EXPECT_EQ(events[1]["records"], 2);
    EXPECT_EQ(events[2]["event"], "run");
    EXPECT_EQ(events[2]["start"], "2026-12-08T06:00:09Z");
    EXPECT_EQ(events[2]["outcomes"], Json({{"done", 10}}));
    test_support::ExpectReportEquals(
        output, test_support::CountRecords({PathOf("one.jsonl"), PathOf("two.jsonl")}));

    // The same file twice: its records are counted once, the second time as repeated. --run,
    // --since and --until leave records out, and say how many.
    ASSERT_EQ(Report({PathOf("one.jsonl"), PathOf("one.jsonl"), "--json", "--since",
                      "2026-12-08T06:00:30", "--until", "2026-12-08T07:00:05Z"}),
              kExitDone)
        << errors;
    const std::vector<Json> read = test_support::JsonLines(output);
    EXPECT_EQ(read[0]["records"], 7) << "06:00:30 to 06:00:55, and 07:00:00";
    EXPECT_EQ(read[0]["left_out"], 5);
    EXPECT_EQ(read[1]["repeated"], 7);
    EXPECT_EQ(read[1]["records"], 0);
    ASSERT_EQ(Report({PathOf("one.jsonl"), PathOf("two.jsonl"), "--run", "station-2", "--json"}),
              kExitDone);
    EXPECT_EQ(test_support::JsonLines(output).back()["units"], 0);
}

TEST_F(ReportTest, TheTerminalShowsTheTablesAndThePageTheSameCellsWithItsPictures) {
    test_support::WriteText(
        PathOf("records.jsonl"),
        Record("2026-12-08T06:00:10Z", "a", 0, "done", 4.0, 0, "<script>alert(1)</script>") +
            Record("2026-12-08T06:00:12Z", "a", 1, "fatal", 2.0, 6, "<script>alert(1)</script>") +
            "other lines\n");
    ASSERT_EQ(Report({PathOf("records.jsonl"), "--html", PathOf("page.html"), "--csv",
                      PathOf("rows.csv")}),
              kExitDone)
        << errors;
    for (const char* shown :
         {"Runs\nrun                        file", "fatal 6 Chip Erase error      1  100.0%",
          "Seconds per unit done\nunits  median  95th percentile\n    1     4.0              4.0",
          "    2     1                  50.0%    0:00:06          600.0\n"}) {
        EXPECT_NE(output.find(shown), std::string::npos) << shown << "\n" << output;
    }
    std::string page;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("page.html").c_str(), page));
    EXPECT_EQ(page.find("<script"), std::string::npos) << "a run's name is text, never markup";
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    for (const char* outside : {"http:", "https:", "src=", "url(", "@import", "<link"}) {
        EXPECT_EQ(page.find(outside), std::string::npos) << outside << ": nothing from elsewhere";
    }
    std::size_t pictures = 0;
    for (std::size_t at = 0; (at = page.find("<svg", at)) != std::string::npos; ++at) {
        ++pictures;
    }
    EXPECT_EQ(pictures, 4u);
    std::string rows;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("rows.csv").c_str(), rows));
    EXPECT_EQ(rows.rfind("\xEF\xBB\xBF"
                         "file,time,run,run_id,device,",
                         0),
              0u)
        << rows;
    EXPECT_NE(rows.find("\r\n" + PathOf("records.jsonl") +
                        ",2026-12-08T06:00:12Z,<script>alert(1)</script>,a,1,QUORVANEX emulator,"
                        "fatal,6,Chip Erase error,2.0,568,0," +
                        kSha + ",,,,,\r\n"),
              std::string::npos)
        << rows;
}

TEST_F(ReportTest, ACsvFieldIsQuotedWhereItMustBe) {
    test_support::WriteText(PathOf("records.jsonl"), Record("2026-12-08T06:00:10Z", "a", 0, "done",
                                                            4.0, 0, "line 3, \"east\"\nnight"));
    ASSERT_EQ(Report({PathOf("records.jsonl"), "--csv", PathOf("rows.csv")}), kExitDone);
    std::string rows;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("rows.csv").c_str(), rows));
    EXPECT_NE(rows.find(",\"line 3, \"\"east\"\"\nnight\",a,0,"), std::string::npos) << rows;
}

TEST_F(ReportTest, BadInputIsRefusedInASentenceBeforeAnythingIsReadOrWritten) {
    test_support::WriteText(PathOf("records.jsonl"),
                            Record("2026-12-08T06:00:10Z", "a", 0, "done", 4.0));
    test_support::WriteText(PathOf("old.csv"), "the last shift's\n");
    test_support::WriteText(PathOf("approved.sha256"), kSha + "  QUORVANEX-FPGA-2.45-1013.bin\n");
    std::filesystem::create_directory(folder.Path() / "a-folder");
    const std::string records = PathOf("records.jsonl");
    const std::string folderName = PathOf("a-folder");
    struct Case {
        std::vector<std::string> words;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{}, "report reads record files: name one or more."},
        {{PathOf("none.jsonl"), "--csv", PathOf("old.csv")},
         "The record file " + PathOf("none.jsonl") + " cannot be read."},
        {{folderName, "--csv", PathOf("old.csv")},
         folderName + " is a folder, a pipe or a device, not a file."},
        {{records, PathOf("approved.sha256"), "--csv", PathOf("old.csv")},
         PathOf("approved.sha256") + " holds no record of quorvanex-cli: none of its 1 line(s) "
                                     "is one."},
        {{records, "--since", "yesterday"},
         "--since takes a time in UTC as the records write it, as 2026-12-08T10:15:00Z, "
         "2026-12-08T10:15 or 2026-12-08: yesterday"},
        // The files to write are looked at first: the record file missing is not said.
        {{PathOf("none.jsonl"), "--html", folderName},
         folderName + " is a folder, a pipe or a device, not a file."},
        {{PathOf("none.jsonl"), "--csv", PathOf("nowhere/rows.csv")},
         "The file " + PathOf("nowhere/rows.csv") + " cannot be written: nothing was read."},
        {{records, "--csv", records},
         records + " is a record file that the report reads: it is never written over."},
    };
    for (const Case& refused : cases) {
        SCOPED_TRACE(refused.said);
        EXPECT_EQ(Report(refused.words), kExitUsage);
        EXPECT_EQ(errors, refused.said + "\n");
        EXPECT_EQ(output, "");
        // With --json, the refusal is an event on standard output.
        std::vector<std::string> json = refused.words;
        json.push_back("--json");
        EXPECT_EQ(Report(json), kExitUsage);
        EXPECT_EQ(errors, "");
        EXPECT_EQ(test_support::JsonLines(output).at(0)["text"], refused.said);
    }
    std::string old;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("old.csv").c_str(), old));
    EXPECT_EQ(old, "the last shift's\n") << "a report that was refused writes nothing";
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(folder.PathOf("records.jsonl").c_str(), kept));
    EXPECT_EQ(kept, Record("2026-12-08T06:00:10Z", "a", 0, "done", 4.0));
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_EQ(entry.path().string().find(".part-"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace quorvanex::cli
