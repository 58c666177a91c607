#include "server/protocol/transfer_engine.h"

#include <cstdio>
#include <memory>
#include <span>
#include <string_view>

#include "platform/errors.h"
#include "platform/file_transfer.h"
#include "platform/net.h"
#include "server/formats/ebcdic.h"
#include "server/protocol/control_channel.h"

namespace kesto::server {

namespace {

std::unique_ptr<char[]> new_block() {
    return std::make_unique_for_overwrite<char[]>(kTransferBlockBytes);
}

// The data-block send error line, as send_block writes it. Under sendfile no copy of
// the data exists, so `data` is empty there.
void log_send_error(const LogPoster& log, int error, std::size_t count, std::string_view data) {
    if (!log.wants(LogLevel::informational)) return;
    char head[80];
    std::snprintf(head, sizeof head, "(SSB) Socket send error: %i %zu <<", error, count);
    log.post(LogLevel::informational, head + std::string(logged_block_text(data)) + ">>");
}

// The data-block receive error line, as receive_block writes it.
void log_receive_error(const LogPoster& log, int error) {
    log.post(LogLevel::informational, "(SRB) Socket receive error: " + std::to_string(error));
}

// Reads the file from `offset` block by block and sends each block, translated to
// EBCDIC when asked.
TransferResult send_blocks(const LogPoster& log, platform::Connection& data, int file,
                           std::int64_t offset, bool to_ebcdic) {
    const auto block = new_block();
    for (;;) {
        const long n = platform::read_file_at(file, offset, block.get(), kTransferBlockBytes);
        if (n < 0) return TRANSFER_FILE_ERROR;
        if (n == 0) return TRANSFER_OK;
        const std::span<char> bytes(block.get(), static_cast<std::size_t>(n));
        if (to_ebcdic) formats::translate_to_ebcdic(bytes);
        const platform::IoResult sent = data.send_all(bytes.data(), bytes.size());
        if (sent.status == platform::IoStatus::timed_out) return TRANSFER_TIMED_OUT;
        if (sent.status != platform::IoStatus::ok) {
            log_send_error(log, sent.error, bytes.size(), {bytes.data(), bytes.size()});
            return TRANSFER_ABORTED;
        }
        offset += n;
    }
}

// The untranslated types go out through sendfile, and through send_blocks where the
// kernel refuses it.
TransferResult send_unchanged(const LogPoster& log, platform::Connection& data, int file,
                              std::int64_t offset, int idle_timeout_ms) {
    const int socket = data.zero_copy_socket();
    if (socket < 0) return send_blocks(log, data, file, offset, false);
    platform::SendfileState state;
    state.offset = offset;
    switch (platform::sendfile_to_end(socket, file, idle_timeout_ms, state)) {
        case platform::StreamStatus::done:
            return TRANSFER_OK;
        case platform::StreamStatus::timed_out:
            return TRANSFER_TIMED_OUT;
        case platform::StreamStatus::refused:
            return send_blocks(log, data, file, state.offset, false);
        case platform::StreamStatus::failed:
            break;
    }
    if (platform::device_failed(state.error)) return TRANSFER_FILE_ERROR;  // not the peer
    log_send_error(log, state.error, state.last_request, {});
    return TRANSFER_ABORTED;
}

// APPE never falls back to emptying the file: a second open that succeeds where the
// first failed (a transient shortage of descriptors) would destroy what was there.
bool open_target(const platform::Entry& target, ReceiveMode mode, std::int64_t offset,
                 platform::UniqueFd& file) {
    using platform::WriteMode;
    if (mode == ReceiveMode::append) {
        return platform::open_for_writing(target, WriteMode::append, file) ==
               platform::FileOpen::ok;
    }
    const WriteMode how = (offset == 0) ? WriteMode::replace : WriteMode::overwrite;
    if (platform::open_for_writing(target, how, file) != platform::FileOpen::ok) return false;
    return offset == 0 || platform::seek_file(file.get(), offset) == 0;
}

}  // namespace

TransferResult send_file(const LogPoster& log, platform::Connection& data, platform::UniqueFd file,
                         RepresentationType type, std::int64_t restart_offset,
                         int idle_timeout_ms) {
    if (restart_offset < 0 || !file) return TRANSFER_FILE_ERROR;
    data.set_send_limit(idle_timeout_ms);
    log.post(LogLevel::informational, "Send file");
    // Past the end there is nothing to send; the offset never meets the arithmetic of
    // the calls below, where an offset near 2^63 would overflow.
    const std::int64_t size = platform::file_size(file.get());
    if (size < 0) return TRANSFER_FILE_ERROR;
    if (restart_offset >= size) return TRANSFER_OK;
    if (type == RepresentationType::EBCDIC) {
        return send_blocks(log, data, file.get(), restart_offset, true);
    }
    return send_unchanged(log, data, file.get(), restart_offset, idle_timeout_ms);
}

TransferResult receive_file(const LogPoster& log, platform::Connection& data,
                            const platform::Entry& target, RepresentationType type,
                            std::int64_t restart_offset, ReceiveMode mode, int idle_timeout_ms) {
    if (restart_offset < 0) return TRANSFER_FILE_ERROR;
    platform::UniqueFd file;
    if (!open_target(target, mode, restart_offset, file)) return TRANSFER_FILE_ERROR;
    const int socket = data.zero_copy_socket();
    if (type != RepresentationType::EBCDIC && socket >= 0) {
        // Bytes that need no translation go from the socket to the file through a pipe.
        platform::SpliceState state;
        switch (platform::splice_to_end(socket, file.get(), idle_timeout_ms, state)) {
            case platform::StreamStatus::done:
                return TRANSFER_OK;
            case platform::StreamStatus::timed_out:
                return TRANSFER_TIMED_OUT;
            case platform::StreamStatus::failed:
                if (state.file_failed) return TRANSFER_WRITE_ERROR;
                log_receive_error(log, state.error);
                return TRANSFER_ABORTED;
            case platform::StreamStatus::refused:
                break;  // an appending file: received block by block below
        }
    }
    const auto block = new_block();
    for (;;) {
        // Each receive after a wait moves bytes or ends the transfer, so every wait may
        // take the whole idle limit. A failed wait lets the receive report the error.
        if (idle_timeout_ms > 0 &&
            data.wait_readable(idle_timeout_ms) == platform::WaitResult::timed_out) {
            return TRANSFER_TIMED_OUT;
        }
        const long n = receive_block(log, data, block.get(), kTransferBlockBytes);
        if (n < 0) return TRANSFER_ABORTED;
        if (n == 0) return TRANSFER_OK;  // the peer closed: end of data
        const std::span<char> bytes(block.get(), static_cast<std::size_t>(n));
        if (type == RepresentationType::EBCDIC) formats::translate_to_ascii(bytes);
        if (platform::write_file(file.get(), bytes.data(), bytes.size()) != 0) {
            return TRANSFER_WRITE_ERROR;
        }
    }
}

}  // namespace kesto::server
