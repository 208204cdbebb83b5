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
    // Plays a file of the disk (a recorded phrase); false when it does not exist or cannot be
    // opened.
    bool playFile(const std::wstring& path);

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
    bool open(const std::wstring& file, const std::wstring& url);

    std::wstring m_url;      // what is playing: a resource name or a file
    std::wstring m_tempFile; // a resource's bytes, while open
    std::wstring m_reserved; // the temporary name the system handed out for it
    bool m_open = false;
};

} // namespace folio::win32
