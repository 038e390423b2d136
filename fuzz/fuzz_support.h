// What the fuzz targets share: a private folder for the files an input is
// turned into, the splitting of one input into parts, and the one way a target
// reports a broken property.
//
// A target is a plain function over one input (fuzz_targets.h).  Built with
// clang and libFuzzer it runs millions of inputs in one process; built with the
// normal compiler the replay test runs the stored inputs through the same
// function.  Either way a property that does not hold ends the process through
// fuzz_fail, so that libFuzzer keeps the input and the replay test fails.
// One thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel_fuzz {

// The bytes of one input.
inline std::string_view as_text(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The process's own folder below the temporary folder (TMPDIR), created at the
// first call and removed with everything in it when the process ends normally.
// Its path holds no character that a target would treat specially.
const std::string& sandbox();
// The path of a file of the sandbox.
std::string sandbox_file(std::string_view name);
// Removes everything in the sandbox, so that no file of an earlier input is
// seen by the next one.
void clear_sandbox();
// Writes bytes into the named file of the sandbox, replacing it.
void write_sandbox_file(std::string_view name, std::string_view bytes);

// Splits text at every occurrence of separator; n separators give n + 1 parts.
std::vector<std::string_view> split(std::string_view text, std::string_view separator);

// Prints what broke and the input that broke it (cut to a readable length), then
// aborts.
[[noreturn]] void fuzz_fail(std::string_view what, std::string_view input);

// fuzz_fail unless condition holds.
inline void fuzz_check(bool condition, std::string_view what, std::string_view input) {
    if (!condition) fuzz_fail(what, input);
}

}  // namespace kestrel_fuzz
