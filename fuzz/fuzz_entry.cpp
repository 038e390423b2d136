// The libFuzzer entry of one target: KESTREL_FUZZ_FUNCTION names the function
// of fuzz_targets.h that this executable runs.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kestrel_fuzz::KESTREL_FUZZ_FUNCTION(data, size);
}
