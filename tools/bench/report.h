// The bench's output: one row per figure with its goal and whether it is met,
// and the build it comes from, printed as a Markdown table so it reads in a terminal and pastes into the
// README as it is.
#pragma once

#include <array>
#include <string>
#include <vector>

// printf-style formatting into a std::string.
std::string Format(const char* format, ...);

class Report {
public:
    // The build the rows added from now on were measured with. Figures of an
    // x86 and an x86-64 build are not comparable, so each row names its own.
    void SetBuild(std::string build) { build_ = std::move(build); }

    // `met` is "yes", "no", or "" for a figure without a goal.
    void Add(std::string figure, std::string measured, std::string goal = "", std::string met = "");
    void AddGoal(std::string figure, std::string measured, std::string goal, bool met);
    // A measurement that could not be made; the bench then fails.
    void Fail(std::string figure, std::string why);
    // Rows measured outside this program, one a line with the five columns
    // (the build naming what measured them) separated by tabs; false when
    // the file cannot be read.
    bool AddTabbedRows(const std::string& path);

    void Print() const;
    bool Failed() const { return failed_; }

private:
    static constexpr size_t kColumns = 5;
    using Row = std::array<std::string, kColumns>;  // figure, build, measured, goal, met
    std::vector<Row> rows_;
    std::string build_;
    bool failed_ = false;
};
