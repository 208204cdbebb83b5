// The reading window's player WMPlayer1 on Windows: the system's MCI playing a page resource
// of the book from a temporary file, which is removed when the sound is closed.
#pragma once

#include <windows.h>

#include <string>

namespace folio::win32 {

class Player {
  public:
    Player() = default;
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Plays the page resource (type 2110) of this program named `name`. False when the book
    // has no such page or the system cannot open it; the previous sound is closed either way.
    bool playResource(const std::wstring& name);

    // The media's address; empty while nothing is loaded.
    const std::wstring& url() const { return m_url; }
    void play();
    void pause();
    void stop();
    // The media player's play state: 3 while playing.
    int playState() const;
    long long positionMs() const;
    long long durationMs() const;
    void seek(long long ms);
    void close();

  private:
    std::wstring m_url;      // the resource the sound came from
    std::wstring m_tempFile; // its bytes, while open
    bool m_open = false;
};

} // namespace folio::win32
