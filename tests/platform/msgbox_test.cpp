#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <tuple>

#include "platform/msgbox.h"
#include "platform/threads.h"
#include "test_support.h"

using namespace plat;
using namespace std::chrono_literals;
using smt::test::ScriptedResponder;

TEST(MessageBox, WorkersAreAnsweredInTheOrderTheyAsk) {
    ScriptedResponder responder(MsgAnswer::Cancel);
    const MsgAnswer script[] = {MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Yes, MsgAnswer::No};
    for (MsgAnswer a : script) responder.Push(a);
    constexpr int kWorkers = 6;
    std::mutex mutex;
    std::map<std::string, MsgAnswer> answers;
    for (int i = 0; i < kWorkers; ++i)
        StartWorker("ask", [&, i] {
            const std::string text = "box " + std::to_string(i);
            const MsgAnswer a = MessageBoxAsk(text, MsgButtons::YesNoCancel, true);
            std::lock_guard lock(mutex);
            answers[text] = a;
        });
    ASSERT_TRUE(JoinAllWorkers(5000ms));
    const auto seen = responder.Seen();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kWorkers));
    ASSERT_EQ(answers.size(), static_cast<std::size_t>(kWorkers));
    for (std::size_t k = 0; k < seen.size(); ++k) {
        EXPECT_EQ(answers[seen[k].text], k < 4 ? script[k] : MsgAnswer::Cancel) << seen[k].text;
        EXPECT_EQ(seen[k].buttons, MsgButtons::YesNoCancel);
        EXPECT_EQ(seen[k].icon, MsgIcon::Question);
        EXPECT_TRUE(seen[k].topmost);
    }
}

TEST(MessageBox, RequestReachesTheHandlerWholeAndTheRightHandlerAnswers) {
    {
        ScriptedResponder outer(MsgAnswer::No);
        {
            ScriptedResponder inner;
            EXPECT_EQ(MessageBoxOk("第一行\r\nline 2", false, MsgIcon::Warning, "标题"), MsgAnswer::Ok);
            ASSERT_EQ(inner.Count(), 1u);
            const MsgBoxRequest r = inner.Seen()[0];
            EXPECT_EQ(std::tuple(r.text, r.caption, r.buttons, r.icon, r.topmost),
                      std::tuple(std::string("第一行\r\nline 2"), std::string("标题"), MsgButtons::Ok, MsgIcon::Warning, false));
        }
        EXPECT_EQ(MessageBoxAsk("out", MsgButtons::YesNo), MsgAnswer::No);  // the previous handler is back
        EXPECT_EQ(outer.Texts(), std::vector<std::string>{"out"});
    }
    // Without a handler the first button answers.
    const MsgBoxHandler previous = SetMessageBoxHandler(nullptr);
    EXPECT_EQ(MessageBoxOk("headless"), MsgAnswer::Ok);
    EXPECT_EQ(MessageBoxAsk("q", MsgButtons::OkCancel), MsgAnswer::Ok);
    EXPECT_EQ(MessageBoxAsk("q", MsgButtons::YesNo), MsgAnswer::Yes);
    EXPECT_EQ(MessageBoxAsk("q", MsgButtons::YesNoCancel), MsgAnswer::Yes);
    SetMessageBoxHandler(previous);
}
