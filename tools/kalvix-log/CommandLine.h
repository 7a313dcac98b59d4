// The command line of one kalvix-log command: its positional arguments and its options, checked
// against what the command accepts. Bad usage throws UsageError (exit code 2), bad input
// InputError (exit code 1); main() prints either on stderr.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

constexpr int ExitSuccess = 0;
constexpr int ExitBadInput = 1;
constexpr int ExitBadUsage = 2;

// What a command accepts: options that take a value, flags that do not; options in
// `repeatable` may be given more than once.
struct CommandGrammar {
    std::vector<std::string> valueOptions;   // "-o", "--range", ...
    std::vector<std::string> flags;          // "--long", "--json", ...
    std::vector<std::string> repeatable;     // "--fix", "--guess"
    size_t minPositional = 0;
    size_t maxPositional = 0;
};

class CommandLine {
public:
    // Throws UsageError for an unknown option, a missing value, a repeated option that may not
    // repeat, or a wrong number of positional arguments.
    CommandLine(const std::vector<std::string>& arguments, const CommandGrammar& grammar);

    const std::vector<std::string>& Positional() const { return positional_; }
    bool Has(const std::string& option) const;
    // The option's value, or nullopt when it was not given.
    std::optional<std::string> Value(const std::string& option) const;
    // Every value of a repeatable option, in order.
    std::vector<std::string> Values(const std::string& option) const;
    // The option's value as a whole number in [low, high]; UsageError otherwise.
    std::optional<int64_t> Integer(const std::string& option, int64_t low, int64_t high) const;
    // The option's value as a finite number; UsageError otherwise.
    std::optional<double> Number(const std::string& option) const;

private:
    std::vector<std::string> positional_;
    std::multimap<std::string, std::string> options_;
};

// "A:B" (either side may be empty: from the start, to the end) into [first, last].
struct CountRange {
    uint64_t first = 0;
    uint64_t last = UINT64_MAX;
};
CountRange ParseCountRange(const std::string& text);  // UsageError when malformed
