// Fuzz target: the tree stream reader over arbitrary bytes, in both payload
// forms. Any input must end in a clean error or a tree, never a crash.
#include <cstddef>
#include <cstdint>
#include <span>

#include "vinca/model/stream.h"
#include "vinca/model/tree_stream.h"
#include "vinca/model/tree_stream_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vinca;
    for (TagForm form : {TagForm::TwoByte, TagForm::OneByte}) {
        CVincaSpanStream bytes(std::span(data, size));
        CTreeStream ts(bytes, CTreeStream::MODE_READ);
        CTreeRef out;
        if (ts.Open()) ReadTreeRef(ts, out, form);
        ts.Close();
    }
    return 0;
}
