// The process-wide message log: the one place every problem of a document is
// reported. A message is "<severity letter> <text>", UTF-8, one line; element
// messages end with " at line(column)". F, E and W lines are counted, I lines
// only stored, D lines discarded. All members are safe to call from the loading
// thread, the part-view thread and the user-interface thread at once.
#pragma once

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

namespace svg {

struct MessageCounts {
    int fatal = 0;
    int errors = 0;
    int warnings = 0;
};

class MessageLog {
public:
    static MessageLog& Instance();

    void Add(std::string line);
    void Reset();

    std::size_t Count() const;
    // Copies of the entries from `first` on, for a reader that polls.
    std::vector<std::string> EntriesFrom(std::size_t first) const;
    std::string Entry(std::size_t index) const;
    MessageCounts Counts() const;
    std::string LogText() const;
    std::string Summary() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::string logText_;
    MessageCounts counts_;
};

// printf-style report into the log. A format starting with 'D' is discarded
// before it is formatted.
void ReportMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportMessageV(const char* format, va_list args);

// "No Errors", or "%d Fatal Errors.  %d Errors.  %d Warnings.  " with the
// zero parts left out.
std::string GetMessageSummary();

}  // namespace svg
