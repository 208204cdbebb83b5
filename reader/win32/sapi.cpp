// SAPI 5 speech engine (see sapi.h).
#include "reader/win32/sapi.h"

#include "reader/win32/companions.h"

#include <windows.h>

#include <mmreg.h>
#include <objbase.h>
#include <sapi.h>

#include <array>
#include <utility>
#include <vector>

namespace folio::win32 {
namespace {

// The registry categories of voices and audio outputs.
constexpr const wchar_t* VoicesCategory =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices";
constexpr const wchar_t* OutputsCategory =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\AudioOutput";

// The data format id of a WAVEFORMATEX stream format (not exported by the import library).
constexpr GUID WaveFormatExId = {
    0xC31ADBAE, 0x527F, 0x4ff5, {0xA2, 0x30, 0xF6, 0x2B, 0xB6, 0x1F, 0xF7, 0x0C}};

// An owning COM interface pointer.
template <class T> class Com {
  public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Com(Com&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    Com& operator=(Com&& other) noexcept {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    ~Com() { reset(); }
    void reset() {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** out() {
        reset();
        return &m_p;
    }
    explicit operator bool() const { return m_p != nullptr; }

  private:
    T* m_p = nullptr;
};

struct Token {
    Com<ISpObjectToken> token;
    std::string description;
};

// The tokens of one category with their descriptions in the default language.
std::vector<Token> tokensOf(const wchar_t* category) {
    std::vector<Token> tokens;
    Com<ISpObjectTokenCategory> cat;
    if (FAILED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL,
                                IID_ISpObjectTokenCategory, reinterpret_cast<void**>(cat.out()))))
        return tokens;
    if (FAILED(cat->SetId(category, FALSE)))
        return tokens;
    Com<IEnumSpObjectTokens> list;
    if (FAILED(cat->EnumTokens(nullptr, nullptr, list.out())) || !list)
        return tokens;
    ULONG count = 0;
    if (FAILED(list->GetCount(&count)))
        return tokens;
    for (ULONG i = 0; i < count; ++i) {
        Token t;
        if (FAILED(list->Item(i, t.token.out())) || !t.token)
            continue;
        LPWSTR text = nullptr;
        if (SUCCEEDED(t.token->GetStringValue(nullptr, &text)) && text) {
            t.description = utf8(text);
            CoTaskMemFree(text);
        }
        // A token without a description is listed by the last part of its id, so the list
        // never shows (and Voice.ini never stores) an empty name.
        if (t.description.empty() && SUCCEEDED(t.token->GetId(&text)) && text) {
            std::wstring id = text;
            CoTaskMemFree(text);
            while (!id.empty() && id.back() == L'\\')
                id.pop_back();
            t.description = utf8(id.substr(id.find_last_of(L'\\') + 1));
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

class SapiEngine final : public folio::reader::SpeechEngine, public SentenceEvents {
  public:
    explicit SapiEngine(Com<ISpVoice> voice) : m_voice(std::move(voice)) {
        m_voices = tokensOf(VoicesCategory);
        m_outputs = tokensOf(OutputsCategory);
    }

    std::vector<std::string> voices() const override { return names(m_voices); }
    std::vector<std::string> outputs() const override { return names(m_outputs); }

    bool setVoice(int index) override {
        if (index < 0 || index >= static_cast<int>(m_voices.size()))
            return false;
        return SUCCEEDED(m_voice->SetVoice(m_voices[static_cast<std::size_t>(index)].token.get()));
    }

    bool setOutput(int index) override {
        if (index < 0 || index >= static_cast<int>(m_outputs.size()))
            return false;
        // Format changes on the next set are not allowed: the chosen format is applied after.
        return SUCCEEDED(
            m_voice->SetOutput(m_outputs[static_cast<std::size_t>(index)].token.get(), FALSE));
    }

    bool setFormatType(int type) override {
        WaveShape shape;
        if (!waveShapeOfFormatType(type, shape))
            return false;
        // Take the voice's output stream, give it the format and set it again.
        Com<ISpStreamFormat> stream;
        if (FAILED(m_voice->GetOutputStream(stream.out())) || !stream)
            return false;
        Com<ISpAudio> audio;
        if (FAILED(stream->QueryInterface(IID_ISpAudio, reinterpret_cast<void**>(audio.out()))))
            return false;
        WAVEFORMATEX wave{};
        wave.wFormatTag = WAVE_FORMAT_PCM;
        wave.nChannels = shape.channels;
        wave.nSamplesPerSec = shape.samplesPerSecond;
        wave.wBitsPerSample = shape.bitsPerSample;
        wave.nBlockAlign = static_cast<WORD>(shape.channels * shape.bitsPerSample / 8);
        wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
        if (FAILED(audio->SetFormat(WaveFormatExId, &wave)))
            return false;
        return SUCCEEDED(m_voice->SetOutput(audio.get(), FALSE));
    }

    bool setRate(int rate) override { return SUCCEEDED(m_voice->SetRate(rate)); }

    bool setVolume(int volume) override {
        if (volume < 0 || volume > 100)
            return false;
        return SUCCEEDED(m_voice->SetVolume(static_cast<USHORT>(volume)));
    }

    void speak(const std::string& text) override {
        stop();
        if (!text.empty())
            m_voice->Speak(wide(text).c_str(), SPF_ASYNC, nullptr);
    }

    void stop() override { m_voice->Speak(L"", SPF_PURGEBEFORESPEAK, nullptr); }

    bool watch(HWND window, unsigned message) override {
        const ULONGLONG interest = SPFEI(SPEI_END_INPUT_STREAM);
        return SUCCEEDED(m_voice->SetInterest(interest, interest)) &&
               SUCCEEDED(m_voice->SetNotifyWindowMessage(window, message, 0, 0));
    }
    unsigned long speakSentence(const std::string& text) override {
        ULONG stream = 0;
        if (FAILED(m_voice->Speak(wide(text).c_str(), SPF_ASYNC | SPF_PURGEBEFORESPEAK, &stream)))
            return 0;
        return stream;
    }
    bool ended(unsigned long stream) override {
        bool found = false;
        SPEVENT event{};
        ULONG fetched = 0;
        while (m_voice->GetEvents(1, &event, &fetched) == S_OK && fetched == 1) {
            if (event.eEventId == SPEI_END_INPUT_STREAM && event.ulStreamNum == stream)
                found = true;
            // What an event carries is the receiver's to free.
            if (event.elParamType == SPET_LPARAM_IS_OBJECT && event.lParam)
                reinterpret_cast<IUnknown*>(event.lParam)->Release();
            else if ((event.elParamType == SPET_LPARAM_IS_POINTER ||
                      event.elParamType == SPET_LPARAM_IS_STRING) &&
                     event.lParam)
                CoTaskMemFree(reinterpret_cast<void*>(event.lParam));
            event = {};
        }
        return found;
    }

  private:
    static std::vector<std::string> names(const std::vector<Token>& tokens) {
        std::vector<std::string> out;
        out.reserve(tokens.size());
        for (const auto& t : tokens)
            out.push_back(t.description);
        return out;
    }

    Com<ISpVoice> m_voice;
    std::vector<Token> m_voices;
    std::vector<Token> m_outputs;
};

} // namespace

bool waveShapeOfFormatType(int type, WaveShape& shape) {
    // Types run 4..39: nine sample rates, each with 8 then 16 bits, each mono then stereo.
    static constexpr std::array<unsigned long, 9> rates = {8000,  11025, 12000, 16000, 22050,
                                                           24000, 32000, 44100, 48000};
    if (type < 4 || type > 39)
        return false;
    const int index = type - 4;
    shape.samplesPerSecond = rates[static_cast<std::size_t>(index / 4)];
    shape.bitsPerSample = (index / 2) % 2 ? 16 : 8;
    shape.channels = index % 2 ? 2 : 1;
    return true;
}

SentenceEvents* SentenceEventsOf(folio::reader::SpeechEngine* engine) {
    // Every engine this reader makes is SAPI's.
    return static_cast<SapiEngine*>(engine);
}

std::unique_ptr<folio::reader::SpeechEngine> CreateSapiEngine(std::wstring* why) {
    Com<ISpVoice> voice;
    const HRESULT hr = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice,
                                        reinterpret_cast<void**>(voice.out()));
    if (FAILED(hr) || !voice) {
        if (why) {
            wchar_t code[16];
            wsprintfW(code, L"0x%08lX", static_cast<unsigned long>(hr));
            *why = std::wstring(L"语音组件无法创建（") + code + L"）";
        }
        return nullptr;
    }
    return std::make_unique<SapiEngine>(std::move(voice));
}

} // namespace folio::win32
