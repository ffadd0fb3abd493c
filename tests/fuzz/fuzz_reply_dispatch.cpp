// Arbitrary bytes as a stream of replies, each handed to the serial or the Ethernet
// dispatcher as the reply threads do: whatever arrives, dispatching ends, and the
// boxes it shows are answered at once.
#include <cstddef>
#include <cstdint>

#include "link/cmd_srv.h"
#include "link/replies.h"
#include "platform/msgbox.h"
#include "platform/uipost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        plat::SetMessageBoxHandler([](const plat::MsgBoxRequest&) { return plat::MsgAnswer::Ok; });
        return true;
    }();
    (void)quiet;
    static smt::MachineLink link;  // never opened: nothing leaves the process
    std::size_t pos = 0;
    // Each reply: a selector byte, then its head and up to a few dozen data bytes.
    while (pos + 4 <= size) {
        const std::uint8_t selector = data[pos++];
        const std::uint8_t lengthByte = data[pos++];
        const std::size_t length = std::min<std::size_t>(lengthByte % 40, size - pos);
        if (selector & 1) {
            smt::ReplyFrame frame;
            static const std::uint8_t kTypes[] = {0x00, 0x01, 0xF1, 0xFF};
            frame.type = (selector & 2) ? data[pos] : kTypes[(selector >> 2) & 3];
            frame.code = data[pos + 1];
            const std::size_t n = std::min<std::size_t>(length, smt::kMaxReplyData);
            frame.length = static_cast<std::uint8_t>(n);
            for (std::size_t i = 0; i < n && pos + 2 + i < size; ++i) frame.data[i] = data[pos + 2 + i];
            smt::DispatchSerialReply(frame);
        } else {
            smt::LinkMessage message;
            const std::size_t n = pos + 2 <= size ? std::min(length, size - pos - 2) : 0;
            message.Assign(static_cast<std::uint8_t>(selector >> 1 & 3), static_cast<std::uint16_t>(data[pos] | data[pos + 1] << 8),
                           data + pos + 2, n);
            smt::DispatchEthernetReply(message, link);
        }
        pos += 2 + length;
    }
    // The boxes the dispatch posted, shown and answered as the user-interface
    // thread would; left queued they piled up over a long fuzzing run.
    plat::RunPostedTasks();
    return 0;
}
