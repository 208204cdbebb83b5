// The player of the Windows reader: MCI over a temporary copy of a sound resource.
#include "reader/win32/sound.h"

#include <mmsystem.h>

#include <cwchar>
#include <string>

namespace folio::win32 {
namespace {

constexpr const wchar_t* Alias = L"WMPlayer1";

bool mci(const std::wstring& command) {
    return mciSendStringW(command.c_str(), nullptr, 0, nullptr) == 0;
}

std::wstring mciText(const std::wstring& command) {
    wchar_t answer[128] = {};
    if (mciSendStringW(command.c_str(), answer, 128, nullptr) != 0)
        return {};
    return answer;
}

// The extension of the resource name (".MP3"), which tells MCI which device plays it.
std::wstring extensionOf(const std::wstring& name) {
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring(L".mp3") : name.substr(dot);
}

} // namespace

Player::~Player() {
    close();
}

bool Player::playResource(const std::wstring& name) {
    close();
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(self, name.c_str(), MAKEINTRESOURCEW(2110));
    HGLOBAL handle = res ? LoadResource(self, res) : nullptr;
    const void* data = handle ? LockResource(handle) : nullptr;
    const DWORD size = res ? SizeofResource(self, res) : 0;
    if (!data)
        return false;

    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t file[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"fol", 0, file))
        return false;
    // The name stays reserved while the sound, under the same name with its own extension
    // (which tells MCI what plays it), is open; both go when it closes.
    m_reserved = file;
    m_tempFile = m_reserved + extensionOf(name);
    HANDLE out = CreateFileW(m_tempFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY, nullptr);
    DWORD written = 0;
    const bool ok = out != INVALID_HANDLE_VALUE && WriteFile(out, data, size, &written, nullptr) &&
                    written == size;
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (!ok || !open(m_tempFile, name)) {
        close();
        return false;
    }
    return true;
}

bool Player::playFile(const std::wstring& path) {
    close();
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    return open(path, path);
}

bool Player::open(const std::wstring& file, const std::wstring& url) {
    m_open = mci(L"open \"" + file + L"\" type mpegvideo alias " + Alias) ||
             mci(L"open \"" + file + L"\" alias " + Alias);
    if (!m_open)
        return false;
    m_url = url;
    mci(std::wstring(L"set ") + Alias + L" time format milliseconds");
    play();
    return true;
}

void Player::play() {
    if (m_open)
        mci(std::wstring(L"play ") + Alias);
}

void Player::pause() {
    if (m_open)
        mci(std::wstring(L"pause ") + Alias);
}

void Player::stop() {
    if (!m_open)
        return;
    mci(std::wstring(L"stop ") + Alias);
    mci(std::wstring(L"seek ") + Alias + L" to start");
}

int Player::playState() const {
    if (!m_open)
        return 0;
    const std::wstring mode = mciText(std::wstring(L"status ") + Alias + L" mode");
    if (mode == L"playing")
        return 3;
    if (mode == L"paused")
        return 2;
    return 1;
}

long long Player::positionMs() const {
    if (!m_open)
        return 0;
    return std::wcstoll(mciText(std::wstring(L"status ") + Alias + L" position").c_str(), nullptr,
                        10);
}

long long Player::durationMs() const {
    if (!m_open)
        return 0;
    return std::wcstoll(mciText(std::wstring(L"status ") + Alias + L" length").c_str(), nullptr,
                        10);
}

void Player::seek(long long ms) {
    if (!m_open)
        return;
    const bool playing = playState() == 3;
    mci(std::wstring(L"seek ") + Alias + L" to " + std::to_wstring(ms));
    if (playing)
        play();
}

void Player::close() {
    if (m_open)
        mci(std::wstring(L"close ") + Alias);
    m_open = false;
    m_url.clear();
    for (std::wstring* temporary : {&m_tempFile, &m_reserved}) {
        if (!temporary->empty())
            DeleteFileW(temporary->c_str());
        temporary->clear();
    }
}

} // namespace folio::win32
