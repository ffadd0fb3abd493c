#include <gtest/gtest.h>

#include <tuple>

#include "platform/msgbox.h"
#include "test_support.h"

using namespace plat;
using smt::test::ScriptedResponder;

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
