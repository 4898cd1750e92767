#pragma once
// Plain fakes of the services a change batch uses: ASCII system text, file
// queries from a table, and a page surface that records its calls in order.
// Header-only; shared by the engine tests, the fuzzers and the benchmarks.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "engine/page_surface.h"
#include "platform/file_queries.h"
#include "platform/system_text.h"

namespace tarnwell::test {

// ASCII as the 8-bit system text: other code units become "?", the default
// character of the usual code pages.
class FakeSystemText : public SystemText {
  public:
    std::string FromUtf16(const char16_t* text, std::size_t units) const override {
        std::string result(units, '?');
        for (std::size_t i = 0; i < units; ++i) {
            if (text[i] < 0x80) result[i] = static_cast<char>(text[i]);
        }
        return result;
    }
    void ToUpper(std::string& text) const override {
        for (char& c : text) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
    }
};

// Paths that are not in `entries` have size 0 and no owner, like a deleted file.
class FakeFileQueries : public FileQueries {
  public:
    std::map<std::string, FileFacts> entries;
    int batches = 0;
    std::vector<std::string> queried;  // every path asked about, in order

    void BeginBatch() override { ++batches; }
    FileFacts FactsOf(const std::string& path) override {
        queried.push_back(path);
        auto it = entries.find(path);
        return it == entries.end() ? FileFacts{} : it->second;
    }
};

// Records "AppendRow", "MakeRowVisible <i>", "DeleteFirstRow",
// "SetChangeCountText <text>", "LogWriteFailed <errno>" and "MaxLines" (the
// read that every trim starts with) in `calls`, in order. A test may push its
// own entries too (the clock, say) to see where they fall. Batches are counted
// apart, with how deep in them each row came.
class FakePageSurface : public PageSurface {
  public:
    bool outputToScreen = true;
    bool autoScroll = true;
    int maxLines = 1000;
    std::deque<ResultRow> rows;
    std::string changeCountText;
    mutable std::vector<std::string> calls;
    int batchesBegun = 0;
    int batchesEnded = 0;
    std::vector<int> batchDepthOfRows;

    bool OutputToScreen() const override { return outputToScreen; }
    bool AutoScroll() const override { return autoScroll; }
    int MaxLines() const override {
        calls.push_back("MaxLines");
        return maxLines;
    }
    int AppendRow(ResultRow row) override {
        calls.push_back("AppendRow");
        batchDepthOfRows.push_back(batchesBegun - batchesEnded);
        rows.push_back(std::move(row));
        return static_cast<int>(rows.size()) - 1;
    }
    void MakeRowVisible(int index) override {
        calls.push_back("MakeRowVisible " + std::to_string(index));
    }
    int RowCount() const override { return static_cast<int>(rows.size()); }
    void DeleteFirstRow() override {
        calls.push_back("DeleteFirstRow");
        if (!rows.empty()) rows.pop_front();
    }
    void SetChangeCountText(const std::string& text) override {
        calls.push_back("SetChangeCountText " + text);
        changeCountText = text;
    }
    void LogWriteFailed(int errorNumber) override {
        calls.push_back("LogWriteFailed " + std::to_string(errorNumber));
    }
    void BeginBatch() override { ++batchesBegun; }
    void EndBatch() override { ++batchesEnded; }
};

}  // namespace tarnwell::test
