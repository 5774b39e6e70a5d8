#include "report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fstream>

std::string Format(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

void Report::Add(std::string figure, std::string measured, std::string goal, std::string met)
{
    rows_.push_back({std::move(figure), build_, std::move(measured), std::move(goal), std::move(met)});
}

void Report::AddGoal(std::string figure, std::string measured, std::string goal, bool met)
{
    Add(std::move(figure), std::move(measured), std::move(goal), met ? "yes" : "no");
}

void Report::Fail(std::string figure, std::string why)
{
    Add(std::move(figure), "not measured: " + why, "", "no");
    failed_ = true;
}

bool Report::AddTabbedRows(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        return false;
    std::string line;
    while (std::getline(file, line)) {
        Row row;
        size_t start = 0;
        for (std::string& column : row) {
            const size_t tab = line.find('\t', start);
            column = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
            start = tab == std::string::npos ? line.size() : tab + 1;
        }
        rows_.push_back(row);
    }
    return true;
}

void Report::Print() const
{
    std::vector<Row> rows{{"Figure", "Build", "Measured", "Goal", "Met"}, {}};
    rows.insert(rows.end(), rows_.begin(), rows_.end());
    size_t width[kColumns] = {};
    for (const Row& row : rows)
        for (size_t i = 0; i < kColumns; ++i)
            width[i] = std::max(width[i], row[i].size());
    for (size_t i = 0; i < kColumns; ++i)
        rows[1][i] = std::string(width[i], '-');  // Markdown's line under the heading
    for (const Row& row : rows) {
        for (size_t i = 0; i < kColumns; ++i)
            std::printf("| %-*s ", int(width[i]), row[i].c_str());
        std::printf("|\n");
    }
    std::fflush(stdout);
}
