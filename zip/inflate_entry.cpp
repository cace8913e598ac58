#include "zip/inflate_entry.h"

#include <cstring>
#include <vector>

#include <zlib.h>

#include "report/phase_clock.h"

namespace {

std::string decompress_error(const std::string& name, int result, const z_stream& stream) {
    std::string message =
        "Could not decompress zip entry:\n" + name + "\n\nzlib error: " + std::to_string(result);
    if (stream.msg) message += std::string("\n") + stream.msg;
    return message;
}

// Decodes everything zlib can make of the input it holds, writing each full
// or partial output buffer. Keeps calling inflate while the output comes back
// full, so output that did not fit is never left behind in zlib. Z_BUF_ERROR
// only means no progress was possible without more input. last_result is
// Z_STREAM_END once the stream is complete.
bool drain_inflater(z_stream& stream, EntryOutput& output, std::vector<unsigned char>& out_buffer,
                    const std::string& name, int& last_result, std::string& error_message) {
    do {
        // One byte past the stated size tells that the entry is longer than
        // stated; nothing beyond that byte is ever decoded.
        const std::uint64_t room = output.room();
        const std::size_t out_size =
            room < out_buffer.size() ? static_cast<std::size_t>(room) + 1 : out_buffer.size();
        stream.next_out = out_buffer.data();
        stream.avail_out = static_cast<uInt>(out_size);
        const int result = [&] {
            PhaseTimer inflating(Phase::inflating);
            return inflate(&stream, Z_NO_FLUSH);
        }();
        if (result == Z_BUF_ERROR) return true;
        last_result = result;
        if (result != Z_OK && result != Z_STREAM_END) {
            error_message = decompress_error(name, result, stream);
            return false;
        }
        if (!output.write(out_buffer.data(), out_size - stream.avail_out, inflate_write_failure,
                          error_message)) {
            return false;
        }
    } while (last_result == Z_OK && stream.avail_out == 0);
    return true;
}

}  // namespace

// One raw-inflate stream; inflateEnd runs once, however the entry ends.
struct InflateDecoder::State {
    State() : out_buffer(entry_block_size) {
        std::memset(&stream, 0, sizeof stream);
        // Negative window bits: raw deflate data, without a zlib header.
        ready = inflateInit2(&stream, -15) == Z_OK;
    }
    ~State() {
        if (ready) inflateEnd(&stream);
    }
    z_stream stream;
    bool ready = false;
    int last_result = Z_OK;
    std::vector<unsigned char> out_buffer;
};

namespace {
// zlib's state, its window and the output buffer come to some 100 KB, which
// the heap gives back to the system at every free and asks for again at the
// next entry: of a package of small files, most of an entry's time. So the
// state of the last entry waits here for the next one, reset to a fresh
// stream. The setup decodes one entry at a time, on one thread.
std::unique_ptr<InflateDecoder::State> spare_state;

std::unique_ptr<InflateDecoder::State> fresh_state() {
    std::unique_ptr<InflateDecoder::State> state = std::move(spare_state);
    if (state && state->ready && inflateReset(&state->stream) == Z_OK) {
        state->last_result = Z_OK;
        return state;
    }
    return std::make_unique<InflateDecoder::State>();
}
}  // namespace

InflateDecoder::InflateDecoder(EntryOutput& output, const std::string& name)
    : state_(fresh_state()), output_(output), name_(name) {}

InflateDecoder::~InflateDecoder() {
    if (!spare_state && state_->ready) spare_state = std::move(state_);
}

bool InflateDecoder::ready(std::string& error_message) const {
    if (state_->ready) return true;
    error_message = "Could not initialize decompression.";
    return false;
}

bool InflateDecoder::take(const unsigned char* bytes, std::size_t size,
                          std::string& error_message) {
    z_stream& stream = state_->stream;
    stream.next_in = const_cast<unsigned char*>(bytes);
    stream.avail_in = static_cast<uInt>(size);
    return drain_inflater(stream, output_, state_->out_buffer, name_, state_->last_result,
                          error_message);
}

bool InflateDecoder::ended() const { return state_->last_result == Z_STREAM_END; }

bool InflateDecoder::finish(std::string& error_message) const {
    if (ended()) return true;
    error_message = "Could not finish decompressing zip entry:\n" + name_ +
                    "\n\nThe compressed data ended unexpectedly.";
    return false;
}
