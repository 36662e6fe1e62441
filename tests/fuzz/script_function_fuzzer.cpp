// libFuzzer target: one call of an exported script function per input, with
// the argument list, the text and the stand-in platform's answers all chosen
// by the fuzzer (the input format is in fuzz_input.h), and the boundary's
// contract checked afterwards against what the input says must happen.
//
// Besides the checks, the engine's records are fenced with AddressSanitizer
// during the call: the argument's bytes after its tag, and the result's bytes
// 4-7 and after its tag, may be neither read nor written, and the text is an
// allocation of exactly its bytes and the NUL.
#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "contract_check.h"
#include "expected_outcome.h"
#include "failing_allocator.h"
#include "fake_platform.h"
#include "fuzz_input.h"

namespace scriptfonts::fuzz {
namespace {

// One record as the engine hands it over, on the heap so that AddressSanitizer
// knows its bounds.
class EngineRecord {
public:
    explicit EngineRecord(unsigned char fill) : storage_(std::make_unique<Storage>()) {
        std::memset(static_cast<void*>(storage_.get()), fill, sizeof(Storage));
    }
    ~EngineRecord() { ASAN_UNPOISON_MEMORY_REGION(storage_.get(), sizeof(Storage)); }
    EngineRecord(const EngineRecord&) = delete;
    EngineRecord& operator=(const EngineRecord&) = delete;

    TaggedValue* record() { return &storage_->record; }
    const void* address() const { return storage_.get(); }

    RecordBytes bytes() const {
        RecordBytes copy;
        std::memcpy(copy.data(), static_cast<const void*>(storage_.get()), copy.size());
        return copy;
    }

    // Bytes [from, to) of the record may not be touched until unfenced.
    void fence(std::size_t from, std::size_t to) {
        ASAN_POISON_MEMORY_REGION(reinterpret_cast<unsigned char*>(storage_.get()) + from, to - from);
    }
    void unfence() { ASAN_UNPOISON_MEMORY_REGION(storage_.get(), sizeof(Storage)); }

private:
    struct Storage {
        TaggedValue record;
        unsigned char afterRecord[recordBytes - sizeof(TaggedValue)];
    };
    static_assert(sizeof(Storage) == recordBytes);
    std::unique_ptr<Storage> storage_;
};

// The records fenced during the current call, so that an AddressSanitizer
// report of an access inside one can say which promise it breaks.
const void* fencedArgument = nullptr;
const void* fencedResult = nullptr;

void explainFencedAccess(const char* report) {
    const char* at = std::strstr(report, "on address 0x");
    if (at == nullptr) return;
    const auto address = static_cast<std::uintptr_t>(std::strtoull(at + std::strlen("on address "), nullptr, 16));
    for (const auto& [name, record] : {std::pair{"argument", fencedArgument}, std::pair{"result", fencedResult}}) {
        const auto start = reinterpret_cast<std::uintptr_t>(record);
        if (record == nullptr || address < start || address >= start + recordBytes) continue;
        std::fprintf(stderr,
                     "\n==== scriptfonts fuzzer: CONTRACT VIOLATED ====\nthe library touched byte %zu of the %s "
                     "record: of the argument it may read only the value and the tag, of the result write only "
                     "bytes 0-3 and the tag\n",
                     static_cast<std::size_t>(address - start), name);
    }
}

// Frees the stand-in's recording when the input is done: what outlives an
// input makes libFuzzer run it again to look for leaks.
struct ReleaseStandIn {
    ReleaseStandIn() = default;
    ReleaseStandIn(const ReleaseStandIn&) = delete;
    ReleaseStandIn& operator=(const ReleaseStandIn&) = delete;
    ~ReleaseStandIn() { scriptfonts::fake::release(); }
};

constexpr std::size_t afterTag = offsetof(TaggedValue, tag) + sizeof(std::int32_t);
constexpr std::size_t resultValueBytes = sizeof(std::int32_t);

fake::Options standInOptions(const FuzzInput& input) {
    fake::Options options;
    options.addFontResult = input.addAnswer;
    options.removeFontResult = input.removeAnswer;
    options.snapshotFails = input.snapshotFails;
    options.getDCFails = input.getDCFails;
    options.wineTruncationQuirk = input.wineTruncationQuirk;
    if (input.badAlloc == BadAlloc::windowWalk) options.badAllocFrom = fake::Call::forEachTopLevelWindow;
    if (input.badAlloc == BadAlloc::fontEnumeration) options.badAllocFrom = fake::Call::enumerateFontFamilies;
    for (const RunningProcess& process : input.processes) options.processes.push_back({process.name->exeFile, process.id});
    options.currentProcess = input.caller;
    options.executablePath = input.executablePath;
    options.windows = input.windows;

    const std::string visible = visibleText(input.text);
    if (input.addFailureMask != 0) {
        const std::vector<std::string> pieces =
            input.function == Function::registerFonts ? listPieces(visible) : std::vector<std::string>{visible};
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const bool fails = ((input.addFailureMask >> (i % 8)) & 1u) != 0;
            options.addFontResultByPath[decoded(pieces[i], input.wineTruncationQuirk)] = fails ? 0 : input.addAnswer;
        }
    }
    if (input.function == Function::findFontByName) {
        const std::u16string requested = decoded(visible, input.wineTruncationQuirk);
        for (const FaceChoice choice : input.faces) options.faceNames.push_back(faceFor(choice, requested));
    }
    return options;
}

}  // namespace
}  // namespace scriptfonts::fuzz

// A quarantine of 32 MB instead of 256: freed blocks come back while their
// pages are still mapped, which makes short inputs 5 to 10 % faster. A use
// after free is still caught within the last 32 MB freed, thousands of
// inputs' worth.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=32"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    __asan_set_error_report_callback(scriptfonts::fuzz::explainFencedAccess);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace scriptfonts::fuzz;
    const ReleaseStandIn releaseAfterwards;  // the first local: released after the check
    const FuzzInput input = parseInput(data, size);
    scriptfonts::fake::Options options = standInOptions(input);
    const Expected expected = expectedOutcome(input, options);
    scriptfonts::fake::reset(std::move(options));

    // Exactly the text and its NUL: a read past the NUL is an overflow.
    std::vector<char> text(input.text.begin(), input.text.end());
    text.push_back('\0');
    EngineRecord argument(input.fill);
    EngineRecord result(input.fill);
    argument.record()->value.string = input.nullText ? nullptr : text.data();
    argument.record()->tag = input.tag;

    Observed observed{};
    observed.argumentBefore = argument.bytes();
    observed.resultBefore = result.bytes();
    argument.fence(afterTag, recordBytes);
    result.fence(resultValueBytes, offsetof(TaggedValue, tag));
    result.fence(afterTag, recordBytes);
    fencedArgument = argument.address();
    fencedResult = result.address();
    {
        const FailingAllocation failing(input.failingAllocation);
        observed.status = exported(input.function)(input.nullArguments ? nullptr : argument.record(), input.count,
                                                   input.nullResult ? nullptr : result.record());
        observed.allocationFailed = failing.happened();
    }
    fencedArgument = fencedResult = nullptr;
    argument.unfence();
    result.unfence();
    observed.argumentAfter = argument.bytes();
    observed.resultAfter = result.bytes();

    checkContract(input, expected, observed);
    return 0;
}
