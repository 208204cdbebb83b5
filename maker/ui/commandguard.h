// One command at a time in the workbench: long commands let the window handle its events, and
// a click that arrives meanwhile must not start a second command over the same state. A
// refused click beeps and is counted.
#pragma once

#include <QObject>

namespace folio::maker {

class CommandGuard : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    bool busy() const { return m_busy; }
    int refused() const { return m_refused; }

    // A command's run: it may go on while the scope is true; otherwise it was refused.
    class Scope {
      public:
        explicit Scope(CommandGuard& guard) : m_guard(guard), m_ok(guard.begin()) {}
        ~Scope() {
            if (m_ok) {
                m_guard.m_busy = false;
            }
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        explicit operator bool() const { return m_ok; }

      private:
        CommandGuard& m_guard;
        bool m_ok;
    };

    // `command` as a slot that runs only while no other command does.
    template <class F> auto guarded(F command) {
        return [this, command] {
            if (Scope scope(*this); scope) {
                command();
            }
        };
    }

    // Something that is not a command was refused (closing the window): counted, no beep.
    void refuse();

  signals:
    void commandRefused();

  private:
    bool begin();

    bool m_busy = false;
    int m_refused = 0;
};

} // namespace folio::maker
