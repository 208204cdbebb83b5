// Reading the book aloud: the page's sentences and their places, and the walk from sentence to
// sentence and page to page with its failures and its sleep timer.
#include "reader/core/readaloud.h"

#include <gtest/gtest.h>

using namespace folio::reader;

namespace {

std::vector<std::string> texts(const std::vector<SpokenSentence>& sentences) {
    std::vector<std::string> out;
    for (const SpokenSentence& s : sentences)
        out.push_back(s.text);
    return out;
}

std::string repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::vector<SpokenSentence> sentences(int n) {
    std::vector<SpokenSentence> out;
    for (int i = 0; i < n; ++i)
        out.push_back({"句" + std::to_string(i), std::size_t(i) * 3, std::size_t(i) * 3 + 2});
    return out;
}

} // namespace

TEST(PageSentences, CutAtMarksBlocksLongLinesAndRunOns) {
    EXPECT_EQ(
        texts(pageSentences("  他说：“走吧！”我们\n走了……好。Li came. Did he?!\n\n——\n\n3.5 km")),
        (std::vector<std::string>{"他说：“走吧！”", "我们 走了……", "好。", "Li came.", "Did he?!",
                                  "3.5 km"}));
    // A single line break ends only a line past 120 characters; a blank line always ends one.
    EXPECT_EQ(pageSentences(repeat("字", 120) + "\n下").size(), 1u);
    EXPECT_EQ(pageSentences(repeat("字", 121) + "\n下").size(), 2u);
    EXPECT_EQ(pageSentences("上\n \n下").size(), 2u);
    // Past 300 characters: after the last comma, else right there.
    EXPECT_EQ(texts(pageSentences(repeat("字", 200) + "，" + repeat("文", 150))),
              (std::vector<std::string>{repeat("字", 200) + "，", repeat("文", 150)}));
    const auto hard = pageSentences(repeat("字", 350));
    ASSERT_EQ(hard.size(), 2u);
    EXPECT_EQ(hard[0].end, 300u);
    // Offsets count UTF-16 units: a character beyond the basic plane takes two.
    const auto wide = pageSentences("\xF0\xA0\x80\x80字。\n\n  好！");
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0].start, 0u);
    EXPECT_EQ(wide[0].end, 4u);
    EXPECT_EQ(wide[1].start, 8u);
    EXPECT_EQ(wide[1].end, 10u);
    // The selection's rule: every line break ends a sentence, punctuation alone is kept.
    EXPECT_EQ(texts(selectionSentences("我们\n走了……好。\n——")),
              (std::vector<std::string>{"我们", "走了……好。", "——"}));
}

TEST(PageSentences, PlacesNavigationAndAnswers) {
    const auto page = pageSentences("一。二。  三。");
    EXPECT_EQ(sentenceAt(page, 0), 0u);
    EXPECT_EQ(sentenceAt(page, 2), 1u); // the end of the first: the next begins there
    EXPECT_EQ(sentenceAt(page, 5), 2u); // between two: the next
    EXPECT_EQ(sentenceAt(page, 8), std::nullopt);

    for (const char* nav : {"上一章 | 目录 | 下一章", "【下一页】", "« Previous", "NEXT",
                            "Next Chapter »", "←返回书页"})
        EXPECT_TRUE(isNavigationText(nav)) << nav;
    for (const char* prose : {"下一章的故事", "目录里有什么", "Next time", "| |", ""})
        EXPECT_FALSE(isNavigationText(prose)) << prose;

    const auto read = parseReadableText("12|第一章\n\n正文|有竖线");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->firstVisible, 12u);
    EXPECT_EQ(read->text, "第一章\n\n正文|有竖线");
    EXPECT_FALSE(parseReadableText("x|a") || parseReadableText("|a") || parseReadableText("3"));
    EXPECT_EQ(parseReadAt("folio-reader:read-at/42"), 42u);
    EXPECT_EQ(parseReadAt("FOLIO-READER:read-at/7"), 7u);
    EXPECT_FALSE(parseReadAt("folio-reader:next") || parseReadAt("folio-reader:read-at/4x"));
}

TEST(ReadAloud, WalksThePagesOfTheOrderToItsEnd) {
    const std::vector<std::string> order = {"a.htm", "b.htm", "c.htm"};
    ReadAloud r;
    // From the second sentence of the first page ...
    ASSERT_EQ(r.startPage(sentences(2), 1, &order, "a.htm"), 1u);
    auto step = r.speakCurrent();
    EXPECT_EQ(step.kind, ReadAloud::Step::Speak);
    EXPECT_EQ(step.log, std::vector<std::string>{"speech: 句1"});
    step = r.sentenceEnded(0);
    ASSERT_EQ(step.kind, ReadAloud::Step::OpenPage);
    EXPECT_EQ(step.page, "b.htm");
    EXPECT_TRUE(r.sentences().empty()); // one page's sentences at a time
    // ... through a page with nothing to read ...
    EXPECT_EQ(r.startPage({}, 0, &order, "b.htm"), std::nullopt);
    EXPECT_EQ(r.speakCurrent().page, "c.htm");
    ASSERT_EQ(r.startPage(sentences(2), 0, &order, "c.htm"), 0u);
    EXPECT_EQ(r.sentenceEnded(0).sentence, 1u);
    // ... to the order's end.
    step = r.sentenceEnded(0);
    EXPECT_EQ(step.kind, ReadAloud::Step::Stop);
    EXPECT_EQ(step.message, "已经是最后一章");
    EXPECT_FALSE(r.reading());

    // From a page outside the order the next page is its first.
    r.startPage(sentences(1), 0, &order, "cover.htm");
    EXPECT_EQ(r.sentenceEnded(0).page, "a.htm");
    // A selection is read once; pausing and resuming speaks the same sentence again.
    ASSERT_EQ(r.startSelection("一。二。"), 0u);
    r.pause();
    EXPECT_TRUE(r.paused());
    EXPECT_EQ(r.resume().log, std::vector<std::string>{"speech: 一。"});
    EXPECT_EQ(r.moveTo(1).sentence, 1u);
    step = r.sentenceEnded(0);
    EXPECT_EQ(step.kind, ReadAloud::Step::Stop);
    EXPECT_EQ(step.message, "");
}

TEST(ReadAloud, AThirdFailureInARowStopsNamingTheEngine) {
    ReadAloud r;
    r.setEngineName("espeak-ng");
    r.startPage(sentences(8), 0, nullptr, "a.htm");
    auto step = r.sentenceFailed("no audio", 0);
    EXPECT_EQ(step.kind, ReadAloud::Step::Speak);
    EXPECT_EQ(step.log, (std::vector<std::string>{"speech: skipped 句0: no audio", "speech: 句1"}));
    r.sentenceFailed("no audio", 0);
    r.sentenceEnded(0); // a success between failures starts the count again
    r.sentenceFailed("x", 0);
    EXPECT_EQ(r.sentenceFailed("x", 0).kind, ReadAloud::Step::Speak);
    step = r.sentenceFailed("device busy", 0);
    EXPECT_EQ(step.kind, ReadAloud::Step::Stop);
    EXPECT_EQ(step.message, "朗读已停止：语音引擎 espeak-ng 连续 3 句没有读出（device busy）。");
    EXPECT_EQ(step.log, std::vector<std::string>{"speech: skipped 句5: device busy"});
}

TEST(ReadAloud, SleepTimerStopsAtTheChaptersEndOrWhenItRunsOut) {
    const std::vector<std::string> order = {"a.htm", "b.htm"};
    ReadAloud r;
    r.setSleep(SleepChoice::EndOfChapter, 0);
    EXPECT_EQ(r.sleepStatusText(0), "定时：本章读完停止");
    r.startPage(sentences(2), 0, &order, "a.htm");
    EXPECT_EQ(r.sentenceEnded(0).kind, ReadAloud::Step::Speak);
    EXPECT_EQ(r.sentenceEnded(0).message, "本章读完，朗读停止。");
    EXPECT_EQ(r.sleep(), SleepChoice::Off);
    EXPECT_EQ(r.sleepStatusText(0), "");

    const std::uint64_t t0 = 1'000'000, end = t0 + 15 * 60'000;
    r.setSleep(SleepChoice::Minutes15, t0);
    EXPECT_EQ(r.sleepStatusText(t0), "定时：还剩 15:00");
    EXPECT_EQ(r.sleepStatusText(end - 754'000), "定时：还剩 12:34");
    EXPECT_EQ(r.volumeFactor(end - 60'000), 1.0);
    EXPECT_DOUBLE_EQ(r.volumeFactor(end - 15'000), 0.5);
    r.startPage(sentences(3), 0, &order, "a.htm");
    EXPECT_EQ(r.sentenceEnded(end - 1).kind, ReadAloud::Step::Speak);
    EXPECT_EQ(r.volumeFactor(end + 5), 0.0);
    EXPECT_EQ(r.sentenceEnded(end + 5).message, "定时已到，朗读停止。");
    EXPECT_EQ(r.sleepLeftMs(end + 5), std::nullopt);
    EXPECT_EQ(r.volumeFactor(end + 5), 1.0);
}
