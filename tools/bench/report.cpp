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
    rows_.push_back({std::move(figure), std::move(measured), std::move(goal), std::move(met)});
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
    std::vector<Row> rows{{"Figure", "Measured", "Goal", "Met"}, {}};
    rows.insert(rows.end(), rows_.begin(), rows_.end());
    size_t width[4] = {};
    for (const Row& row : rows)
        for (int i = 0; i < 4; ++i)
            width[i] = std::max(width[i], row[i].size());
    for (int i = 0; i < 4; ++i)
        rows[1][i] = std::string(width[i], '-');  // Markdown's line under the heading
    for (const Row& row : rows)
        std::printf("| %-*s | %-*s | %-*s | %-*s |\n", int(width[0]), row[0].c_str(), int(width[1]),
                    row[1].c_str(), int(width[2]), row[2].c_str(), int(width[3]), row[3].c_str());
    std::fflush(stdout);
}
