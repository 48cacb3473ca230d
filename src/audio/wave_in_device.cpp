#include "audio/wave_in_device.h"

#include "util/exception.h"

#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <system_error>
#include <thread>
#include <cstdio>
#include <cstring>

namespace MyAudio {

const char* const noSuchMicrophone = "No such microphone";

std::vector<std::string> captureDeviceNames() {
    std::vector<std::string> names;
    int count = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 1))
            names.emplace_back(name);
    return names;
}

void releaseThreadState() {
    SDL_TLSCleanup();
}

namespace {

// SDL counts its subsystems' users without a lock of its own.
std::mutex audioUsers;
std::atomic<int> pendingCloses{0};
// How long closing may hold up its caller; a close that takes longer
// finishes on its own thread.
constexpr std::chrono::milliseconds closeWait{300};

// The end of a close that may outlast its caller.
struct CloseState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
};

} // namespace

bool acquireAudio() {
    std::lock_guard<std::mutex> guard(audioUsers);
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

void releaseAudio() {
    std::lock_guard<std::mutex> guard(audioUsers);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int closesPending() {
    return pendingCloses.load();
}

std::string noSuchMicrophoneText(const std::string& name) {
    std::string text = "No microphone named \"" + name + "\"; found: ";
    std::vector<std::string> names = captureDeviceNames();
    if (names.empty())
        text += "none";
    for (size_t i = 0; i < names.size(); ++i)
        text += (i ? ", \"" : "\"") + names[i] + "\"";
    return text;
}

WaveInDevice::WaveInDevice(const WaveFormat& f) : format(f) {
    // Sixteen buffers is what the ring uses; more only grows this once.
    queue.resize(32);
}

WaveInDevice::~WaveInDevice() {
    closeDevice();
    if (audioInitialised)
        releaseAudio();
}

void WaveInDevice::failOpen(uint32_t result, int error, const char* reason) {
    status = result;
    if (!quiet) {
        std::fprintf(stderr, "Cannot open capture device: %s\n", reason);
        std::fflush(stderr);
    }
    throw MyUtils::Exception{static_cast<uint32_t>(error), "Cannot open device"};
}

void WaveInDevice::open(AutoResetEvent& e) {
    closeDevice();
    event = &e;
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels == 0 ||
        (format.wBitsPerSample != 8 && format.wBitsPerSample != 16))
        failOpen(WAVERR_BADFORMAT, EINVAL, "unsupported capture format");

    errno = 0;
    if (!audioInitialised) {
        if (!acquireAudio()) {
            int error = errno;
            failOpen(MMSYSERR_BADDEVICEID, error, SDL_GetError());
        }
        audioInitialised = true;
    }

    std::vector<std::string> names = captureDeviceNames();
    const bool listed = name.empty() || std::find(names.begin(), names.end(), name) != names.end();

    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = static_cast<int>(format.nSamplesPerSec);
    want.format = format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(std::min<uint16_t>(format.nChannels, 255));
    want.samples = captureChunkSamples;
    want.callback = &WaveInDevice::captureCallback;
    want.userdata = this;
    SDL_AudioSpec have;
    // No allowed changes: SDL converts to exactly this format for us.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 1, &want, &have, 0);
    if (id == 0 && !listed) {
        status = MMSYSERR_BADDEVICEID;
        if (!quiet) {
            std::fprintf(stderr, "%s\n", noSuchMicrophoneText(name).c_str());
            std::fflush(stderr);
        }
        throw MyUtils::Exception{static_cast<uint32_t>(ENODEV), noSuchMicrophone};
    }
    if (id == 0) {
        int error = errno;
        failOpen(MMSYSERR_BADDEVICEID, error, SDL_GetError());
    }
    handle = id;
    status = MMSYSERR_NOERROR;
}

void WaveInDevice::start() {
    if (handle) {
        SDL_PauseAudioDevice(handle, 0);
        status = MMSYSERR_NOERROR;
    } else {
        status = MMSYSERR_INVALHANDLE;
    }
    started = true;
}

void WaveInDevice::stop() {
    if (handle) {
        SDL_PauseAudioDevice(handle, 1);
        status = MMSYSERR_NOERROR;
    } else {
        status = MMSYSERR_INVALHANDLE;
    }
    started = false;
}

void WaveInDevice::reset() {
    if (handle)
        SDL_PauseAudioDevice(handle, 1);
    std::lock_guard<std::mutex> guard(queueMutex);
    while (count) {
        WaveHeader* h = front();
        h->dwFlags = (h->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
        pop();
    }
}

void WaveInDevice::closeDevice() {
    if (!handle)
        return;
    // Pausing waits for a running callback, so nothing writes after this and
    // the buffers can go back at once.
    reset();
    const SDL_AudioDeviceID id = handle;
    handle = 0;
    // Closing waits for the driver's thread, which may be stuck in a read
    // that never returns. It runs on a thread of its own, holding SDL's audio
    // until it has finished, and is waited for only a short while.
    if (!acquireAudio()) {
        SDL_CloseAudioDevice(id);
        return;
    }
    auto state = std::make_shared<CloseState>();
    ++pendingCloses;
    try {
        std::thread([id, state] {
            SDL_CloseAudioDevice(id);
            releaseAudio();
            --pendingCloses;
            {
                std::lock_guard<std::mutex> guard(state->mutex);
                state->finished = true;
            }
            state->done.notify_all();
            releaseThreadState();
        }).detach();
    } catch (const std::system_error&) {
        --pendingCloses;
        SDL_CloseAudioDevice(id);
        releaseAudio();
        return;
    }
    std::unique_lock<std::mutex> guard(state->mutex);
    state->done.wait_for(guard, closeWait, [&state] { return state->finished; });
}

uint32_t WaveInDevice::prepare(WaveHeader& h) {
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> guard(queueMutex);
    h.dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

uint32_t WaveInDevice::add(WaveHeader& h) {
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> guard(queueMutex);
    if (!(h.dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (h.dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    h.dwFlags = (h.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    h.dwBytesRecorded = 0;
    push(&h);
    return MMSYSERR_NOERROR;
}

uint32_t WaveInDevice::unprepare(WaveHeader& h) {
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> guard(queueMutex);
    if (h.dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    h.dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

bool WaveInDevice::isDone(const WaveHeader& h) {
    std::lock_guard<std::mutex> guard(queueMutex);
    return (h.dwFlags & WHDR_DONE) != 0;
}

size_t WaveInDevice::queuedCount() {
    std::lock_guard<std::mutex> guard(queueMutex);
    return count;
}

void WaveInDevice::onBufferQueued(uint8_t*, uint32_t) {}

void WaveInDevice::push(WaveHeader* h) {
    if (count == queue.size()) {
        // Grow once, keeping queue order; never happens with the ring's 16.
        std::vector<WaveHeader*> bigger(queue.size() * 2);
        for (size_t i = 0; i < count; ++i)
            bigger[i] = queue[(head + i) % queue.size()];
        queue.swap(bigger);
        head = 0;
    }
    queue[(head + count) % queue.size()] = h;
    ++count;
}

void WaveInDevice::pop() {
    head = (head + 1) % queue.size();
    --count;
}

void WaveInDevice::deliver(const uint8_t* data, size_t bytes) {
    bool finished = false;
    {
        std::lock_guard<std::mutex> guard(queueMutex);
        // A zero-length buffer at the front is finished at once, even with no
        // bytes left; otherwise stop when the bytes or the buffers run out.
        while (count && (bytes || front()->dwBytesRecorded >= front()->dwBufferLength)) {
            WaveHeader* h = front();
            size_t room = h->dwBufferLength - std::min(h->dwBytesRecorded, h->dwBufferLength);
            size_t n = std::min(room, bytes);
            if (n) {
                std::memcpy(h->lpData + h->dwBytesRecorded, data, n);
                h->dwBytesRecorded += static_cast<uint32_t>(n);
                data += n;
                bytes -= n;
            }
            if (h->dwBytesRecorded >= h->dwBufferLength) {
                h->dwFlags = (h->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
                pop();
                finished = true;
            }
        }
    }
    if (finished && event)
        event->set();
}

bool WaveInDevice::vanished() const {
    return handle && SDL_GetAudioDeviceStatus(handle) == SDL_AUDIO_STOPPED;
}

void WaveInDevice::captureCallback(void* device, uint8_t* stream, int len) {
    static_cast<WaveInDevice*>(device)->callbacks.fetch_add(1, std::memory_order_relaxed);
    if (len > 0)
        static_cast<WaveInDevice*>(device)->deliver(stream, static_cast<size_t>(len));
}

} // namespace MyAudio
