// The message log of a load: the one place every problem of a document is
// reported. A message is "<severity letter> <text>", UTF-8, one line; element
// messages end with " at line(column)", which Report(elem, ...) appends. F, E
// and W lines are counted, I lines only stored, D lines discarded before
// they are formatted. The formats are the constants of messages.h.
//
// The owner of a load (the viewer, vexo-render, a test) owns the log and
// hands it to the load; every member may be called from the loading thread,
// a rendering thread and the user-interface thread at once. A listener, when
// one is set, sees every stored line as it is added.
#pragma once

#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace svg {

class CElem;

struct MessageCounts {
    int fatal = 0;
    int errors = 0;
    int warnings = 0;
};

class CMessageLog {
public:
    CMessageLog() = default;
    CMessageLog(const CMessageLog&) = delete;
    CMessageLog& operator=(const CMessageLog&) = delete;

    // printf-style; `format` is one of the constants of messages.h.
    void Report(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same for a message about `elem`: its location is appended.
    void Report(const CElem& elem, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The same for a place in the source without an element (an
    // instruction, a parser position): " at line(column)" is appended.
    void ReportAt(int line, int column, const char* format, ...) __attribute__((format(printf, 4, 5)));
    // The same with the arguments in a va_list; `elem` null for no location.
    void ReportV(const CElem* elem, const char* format, va_list args);

    // Called with each line stored from now on, in the order stored, on the
    // thread that reports it and while the log is locked: it must be quick
    // and must not use this log. An empty function removes it; once that
    // call has returned the old listener is not called again.
    using Listener = std::function<void(const std::string& line)>;
    void SetListener(Listener listener);

    void Add(std::string line);
    void Reset();

    std::size_t Count() const;
    // Copies of the entries from `first` on, for a reader that polls.
    std::vector<std::string> EntriesFrom(std::size_t first) const;
    std::string Entry(std::size_t index) const;
    MessageCounts Counts() const;
    std::string LogText() const;
    // "No Errors", or "%d Fatal Errors.  %d Errors.  %d Warnings.  " with the
    // zero parts left out.
    std::string Summary() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::string logText_;
    MessageCounts counts_;
    Listener listener_;
};

}  // namespace svg
