#include "support/call_checks.h"

namespace scriptfonts::test {

::testing::AssertionResult wroteResult(const CallOutcome& outcome, std::int32_t expected) {
    if (outcome.status == statusOk && outcome.tag == tagInteger && outcome.result == expected) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "status " << outcome.status << ", result " << outcome.result << ", tag "
                                         << outcome.tag << "; expected status " << statusOk << ", result "
                                         << expected << ", tag " << tagInteger;
}

}  // namespace scriptfonts::test
