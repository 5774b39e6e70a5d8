// The bench's output: one row per figure with its goal and whether it is met,
// printed as a Markdown table so it reads in a terminal and pastes into the
// README as it is.
#pragma once

#include <array>
#include <string>
#include <vector>

// printf-style formatting into a std::string.
std::string Format(const char* format, ...);

class Report {
public:
    // `met` is "yes", "no", or "" for a figure without a goal.
    void Add(std::string figure, std::string measured, std::string goal = "", std::string met = "");
    void AddGoal(std::string figure, std::string measured, std::string goal, bool met);
    // A measurement that could not be made; the bench then fails.
    void Fail(std::string figure, std::string why);
    // Rows measured outside this program, one a line with the four columns
    // separated by tabs; false when the file cannot be read.
    bool AddTabbedRows(const std::string& path);

    void Print() const;
    bool Failed() const { return failed_; }

private:
    using Row = std::array<std::string, 4>;  // figure, measured, goal, met
    std::vector<Row> rows_;
    bool failed_ = false;
};
