// Runs a script in a web view and waits for its answer: the window tests' one way to ask a page.
#pragma once

#include "tests/tools/waits.h"

#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

namespace folio::testing {

// The script's result; null when the renderer, another program, did not answer within the
// tests' wait bound.
inline QVariant evaluate(QWebEngineView* view, const QString& script) {
    // Shared with the callback, which may still come after a time-out.
    struct State {
        QVariant result;
        bool done = false;
    };
    auto state = std::make_shared<State>();
    view->page()->runJavaScript(script, [state](const QVariant& v) {
        state->result = v;
        state->done = true;
    });
    if (!waitFor([&] { return state->done; }))
        return {};
    return state->result;
}

} // namespace folio::testing
