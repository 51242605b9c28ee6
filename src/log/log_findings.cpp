#include "log/log_findings.h"

#include <algorithm>
#include <cstring>

namespace zid {

namespace {

// The value an "Action ended" line carries for success, on Windows and under Wine alike.
constexpr int kActionSucceeded = 1;
constexpr std::size_t kCodeDigits = 4;

constexpr std::string_view kActionPrefix = "Action ";
constexpr std::string_view kStartWord = "start ";
constexpr std::string_view kEndedWord = "ended ";
constexpr std::string_view kTimeEnd = ": ";
constexpr std::string_view kReturnValue = ". Return value ";
constexpr std::string_view kNameEnd = ". ";

// The three ways a log shows a message number: the message itself, an internal error's text, and the
// engine's note of it.
constexpr std::string_view kErrorWord = "Error ";
constexpr std::string_view kInternalError = "error code is ";
constexpr std::string_view kNoteWord = "Note: 1: ";
constexpr std::string_view kCustomActionError = "Error 1722";
constexpr std::string_view kCustomActionNote = "Note: 1: 1722 2: ";
constexpr std::string_view kActionWord = "Action";

enum class ActionEvent { None, Started, Announced, Ended };

// One "Action ..." line: "Action start T: Name." opens an action, "Action ended T: Name. Return value N."
// closes it, "Action T: Name. Description" announces one (the only line a deferred action gets on Windows).
struct ActionLine {
    ActionEvent Event = ActionEvent::None;
    std::string_view Name;
    int Value = 0;
};

// The first place an "Action ended" line carried a value, and the action started last before it.
struct FirstEnd {
    int Value = 0;
    std::string_view Action;
    std::size_t From = 0;
    std::size_t To = 0;
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameCharacter(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.';
}

// Action names are identifiers: letters, digits, underscores and periods.
bool IsActionName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), IsNameCharacter);
}

std::string_view TrimEnd(std::string_view text, std::string_view characters) {
    const std::size_t last = text.find_last_not_of(characters);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

// The value of the digits at the start of text; -1 when there are none or too many to be a code.
int LeadingNumber(std::string_view text, std::size_t maxDigits) {
    int value = 0;
    std::size_t count = 0;
    while (count < text.size() && IsDigit(text[count])) {
        if (++count > maxDigits)
            return -1;
        value = value * 10 + (text[count - 1] - '0');
    }
    return count == 0 ? -1 : value;
}

ActionLine ParseActionLine(std::string_view line) {
    ActionLine parsed;
    if (!line.starts_with(kActionPrefix))
        return parsed;
    std::string_view rest = line.substr(kActionPrefix.size());
    ActionEvent event = ActionEvent::Announced;
    if (rest.starts_with(kStartWord)) {
        event = ActionEvent::Started;
        rest.remove_prefix(kStartWord.size());
    } else if (rest.starts_with(kEndedWord)) {
        event = ActionEvent::Ended;
        rest.remove_prefix(kEndedWord.size());
    }
    if (rest.empty() || !IsDigit(rest.front()))
        return parsed;
    const std::size_t timeEnd = rest.find(kTimeEnd);
    if (timeEnd == std::string_view::npos)
        return parsed;
    std::string_view tail = rest.substr(timeEnd + kTimeEnd.size());
    std::string_view name;
    if (event == ActionEvent::Ended) {
        const std::size_t valueAt = tail.rfind(kReturnValue);
        if (valueAt == std::string_view::npos)
            return parsed;
        name = tail.substr(0, valueAt);
        parsed.Value = LeadingNumber(tail.substr(valueAt + kReturnValue.size()), kCodeDigits);
        if (parsed.Value < 0)
            return parsed;
    } else {
        const std::size_t nameEnd = tail.find(kNameEnd);
        name = nameEnd == std::string_view::npos ? TrimEnd(tail, ". ") : tail.substr(0, nameEnd);
    }
    if (!IsActionName(name))
        return parsed;
    parsed.Event = event;
    parsed.Name = name;
    return parsed;
}

void AddCode(std::vector<int>& codes, int code) {
    if (codes.size() < kMaxLoggedCodes && std::find(codes.begin(), codes.end(), code) == codes.end())
        codes.push_back(code);
}

// Each four-digit code that follows marker in text and whose next character accept takes (a line end at the
// end of text).
template <typename Accept>
void CollectCodes(std::string_view text, std::string_view marker, Accept accept, std::vector<int>& codes) {
    for (std::size_t at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + 1)) {
        const std::string_view rest = text.substr(at + marker.size());
        const std::string_view digits = rest.substr(0, rest.find_first_not_of("0123456789"));
        const char next = digits.size() < rest.size() ? rest[digits.size()] : '\n';
        if (digits.size() == kCodeDigits && accept(next))
            AddCode(codes, LeadingNumber(digits, kCodeDigits));
    }
}

// "Error NNNN." is a message and "DEBUG: Error NNNN:" an internal one; "Error 1234 files" is neither.
bool EndsErrorNumber(char next) {
    return next == '.' || next == ':';
}

bool EndsAnyNumber(char) {
    return true;
}

std::vector<int> LoggedCodes(std::string_view part) {
    std::vector<int> codes;
    CollectCodes(part, kErrorWord, EndsErrorNumber, codes);
    CollectCodes(part, kInternalError, EndsAnyNumber, codes);
    CollectCodes(part, kNoteWord, EndsAnyNumber, codes);
    return codes;
}

std::string_view LineAt(std::string_view text, std::size_t at) {
    const std::size_t end = text.find('\n', at);
    return TrimEnd(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at), "\r");
}

std::string_view LeadingName(std::string_view text) {
    const auto end = std::find_if_not(text.begin(), text.end(), IsNameCharacter);
    return text.substr(0, static_cast<std::size_t>(end - text.begin()));
}

// "... Action Name, location: ..." (older Windows) or "... Action: Name, location: ..." in the 1722 message,
// else the engine's "Note: 1: 1722 2: Name".
std::string_view CustomActionOf(std::string_view part) {
    const std::size_t error = part.find(kCustomActionError);
    if (error != std::string_view::npos) {
        const std::string_view line = LineAt(part, error);
        const std::size_t word = line.find(kActionWord);
        if (word != std::string_view::npos) {
            std::string_view rest = line.substr(word + kActionWord.size());
            rest.remove_prefix(std::min(rest.find_first_not_of(": "), rest.size()));
            const std::string_view name = LeadingName(rest);
            if (!name.empty() && rest.substr(name.size()).starts_with(','))
                return name;
        }
    }
    const std::size_t note = part.find(kCustomActionNote);
    if (note == std::string_view::npos)
        return {};
    return LeadingName(part.substr(note + kCustomActionNote.size()));
}

// Follows the actions of a log, line by line, until the outermost action ends in failure.
class FailureTracker {
public:
    // Takes the parsed line found at [from, to) of the text; true once the failure is found.
    bool Take(const ActionLine& line, std::size_t from, std::size_t to) {
        if (line.Event == ActionEvent::Started || line.Event == ActionEvent::Announced) {
            Start(line, from);
            return false;
        }
        return line.Event == ActionEvent::Ended && End(line, to);
    }

    // Where the failing action started and the failure surfaced, and its name; only after Take returned true.
    const FirstEnd& Failure() const { return *m_failure; }

private:
    void Start(const ActionLine& line, std::size_t from) {
        m_lastStarted = line.Name;
        m_lastStartedAt = from;
        m_lastStartedEnded = false;
        if (line.Event != ActionEvent::Started)
            return;
        // An action opened with nothing open starts a new session: the values seen before belong to another.
        if (m_open.empty())
            m_firstEnds.clear();
        m_open.push_back(line.Name);
    }

    bool End(const ActionLine& line, std::size_t to) {
        if (FirstWith(line.Value) == m_firstEnds.end()) {
            // Started last and already ended well, that action is not the one that failed; the action whose
            // end carries the failure is, when nothing else started inside it.
            const std::string_view action = m_lastStartedEnded ? line.Name : m_lastStarted;
            m_firstEnds.push_back({line.Value, action, m_lastStartedAt, to});
        }
        if (line.Name == m_lastStarted)
            m_lastStartedEnded = true;
        const auto closed = std::find(m_open.rbegin(), m_open.rend(), line.Name);
        if (closed == m_open.rend())
            return false;
        m_open.erase(std::prev(closed.base()), m_open.end());
        if (!m_open.empty() || line.Value == kActionSucceeded)
            return false;
        m_failure = FirstWith(line.Value);
        return true;
    }

    std::vector<FirstEnd>::const_iterator FirstWith(int value) const {
        return std::find_if(m_firstEnds.begin(), m_firstEnds.end(),
                            [&](const FirstEnd& e) { return e.Value == value; });
    }

    std::vector<std::string_view> m_open;
    std::vector<FirstEnd> m_firstEnds;
    std::vector<FirstEnd>::const_iterator m_failure;
    std::string_view m_lastStarted;
    std::size_t m_lastStartedAt = 0;
    bool m_lastStartedEnded = false;
};

}  // namespace

LogFindings FindInstallerFailure(std::string_view text) {
    FailureTracker tracker;
    std::string_view failedAction;
    std::string_view part = text;
    for (std::size_t at = 0; at < text.size();) {
        const char* newline = static_cast<const char*>(std::memchr(text.data() + at, '\n', text.size() - at));
        const std::size_t end = newline ? static_cast<std::size_t>(newline - text.data()) : text.size();
        const ActionLine line = ParseActionLine(TrimEnd(text.substr(at, end - at), "\r"));
        if (tracker.Take(line, at, end)) {
            const FirstEnd& failure = tracker.Failure();
            failedAction = failure.Action;
            part = text.substr(failure.From, failure.To - failure.From);
            break;
        }
        at = end + 1;
    }

    LogFindings findings;
    findings.FailedAction = std::string(failedAction);
    findings.Codes = LoggedCodes(part);
    findings.CustomAction = std::string(CustomActionOf(part));
    return findings;
}

}  // namespace zid
