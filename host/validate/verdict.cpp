#include "verdict.h"

namespace vsthost::validate {

const char* verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::pass: return "PASS";
        case Verdict::warn: return "WARN";
        case Verdict::fail: return "FAIL";
        case Verdict::skip: return "SKIP";
    }
    return "FAIL";
}

}  // namespace vsthost::validate
