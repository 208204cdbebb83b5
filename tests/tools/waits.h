// How long a test waits for what it waits on: one bound for every wait of every test.
//
// A wait ends as soon as its condition holds; the bound only decides how long a failure takes
// to be reported. It is minutes long, so that another build or other tests running beside
// (a slow start of Wine, of a browser's renderer, of a server) never turn a pass into a failure.
// The shell scripts' bound is the same, in tests/tools/waits.sh.
#pragma once

#include <chrono>
#include <thread>

namespace folio::testing {

inline constexpr int WaitBoundMs = 2 * 60 * 1000;

// Without an event loop: checks `condition` every few milliseconds until it holds; false if
// the bound passed first.
template <typename Condition> bool waitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitBoundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace folio::testing

#ifdef QT_TESTLIB_LIB
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

namespace folio::testing {

// With the event loop: runs it until `condition` holds; false if the bound passed first.
// QTest::qWaitFor polls between 10 ms sleeps, and the browser engine, whose message pump rides
// on the event loop, then takes a sleep for each of its many round trips: a page load that
// takes 20 ms in the reader took 1.5 s there. Here the loop sleeps only while it has nothing
// to do.
template <typename Condition> bool waitFor(Condition condition, int boundMs = WaitBoundMs) {
    if (condition())
        return true;
    // What the test's own frame deleted later (a window closed with delete-on-close) goes now,
    // as under qWaitFor: the nested loop below only deletes what is posted inside it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QDeadlineTimer deadline(boundMs);
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (condition() || deadline.hasExpired())
            loop.quit();
    });
    tick.start(5);
    loop.exec();
    return condition();
}

} // namespace folio::testing

// QTRY_VERIFY and QTRY_COMPARE with the bound: the event loop runs until the condition holds,
// then it is checked. Unlike QTRY_*, a failure is reported when the bound has passed, not after
// waiting twice as long again to say whether it would have passed later.
#define FOLIO_WAIT_VERIFY(expr)                                                                    \
    do {                                                                                           \
        (void)::folio::testing::waitFor([&]() { return bool(expr); });                             \
        QVERIFY(expr);                                                                             \
    } while (false)

#define FOLIO_WAIT_VERIFY2(expr, message)                                                          \
    do {                                                                                           \
        (void)::folio::testing::waitFor([&]() { return bool(expr); });                             \
        QVERIFY2(expr, message);                                                                   \
    } while (false)

#define FOLIO_WAIT_COMPARE(actual, expected)                                                       \
    do {                                                                                           \
        (void)::folio::testing::waitFor([&]() { return bool((actual) == (expected)); });           \
        QCOMPARE(actual, expected);                                                                \
    } while (false)

#ifdef QT_WIDGETS_LIB
#include <QLayout>
#include <QWidget>

namespace folio::testing {

// Lays out every layout of `window` that a change (a caption, a size) has left to do, as the
// event loop does when it comes to the layout requests: geometry read afterwards is what the
// user sees, however long the machine takes to get there.
inline void settleLayouts(QWidget* window) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitBoundMs);
    for (bool again = true; again && std::chrono::steady_clock::now() < deadline;) {
        again = false;
        for (QLayout* layout : window->findChildren<QLayout*>())
            again = layout->activate() || again;
    }
}

} // namespace folio::testing
#endif
#endif
