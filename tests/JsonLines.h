// --json output checked by python3's json module: the text must be UTF-8 lines that each hold
// one JSON object (strictly: no NaN or Infinity, no raw control characters in strings), and
// every fact, a Python expression over `lines` (the objects in order), must hold.
#pragma once

#include <string>
#include <vector>

#include "RunProcess.h"

namespace glassbench::testing {

// Empty when all is well; else what failed.
inline std::string JsonLinesCheck(const std::string& text, std::vector<std::string> facts) {
    static const char* const kCheck = R"(import json, sys
def refuse(word): raise ValueError(word + ' is not JSON')
text = sys.argv[1]
text.encode()
assert text.endswith('\n'), 'the last line is not ended'
lines = [json.loads(line, parse_constant=refuse) for line in text[:-1].split('\n')]
assert all(type(o) is dict for o in lines), 'a line holds no object'
sys.exit('\n'.join('false: ' + f for f in sys.argv[2:] if not eval(f)) or None)
)";
    facts.insert(facts.begin(), {"-c", kCheck, text});
    const ProcessResult r = RunProcess("/usr/bin/python3", facts);
    return r.exitCode == 0 ? "" : "python3 exit " + std::to_string(r.exitCode) + ": " + r.err;
}

}  // namespace glassbench::testing
