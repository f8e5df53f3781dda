// The output sink's code that both platforms share: flushing and closing
// over their deliver and close_stream (delivery.h). Called through
// output.h.
#include "delivery.h"

template <class Char> bool flush(Output<Char> &out)
{
    if (out.error == 0)
        deliver(out, out.buffer, out.size);
    out.size = 0;
    return out.error == 0;
}

int close_output(Output<Unit> &out)
{
    flush(out);
    // Closed even after a failed write; the first reason is the one given.
    const int error = close_stream(out.stream);
    return out.error != 0 ? out.error : error;
}

template bool flush(Output<Unit> &);
#ifndef _WIN32
// Wide units go out as they lie in memory, for the tests of the scan over
// them; the tool's link leaves this out.
template bool flush(Output<wchar_t> &);
#endif
