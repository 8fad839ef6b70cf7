// The Linux programs' sound player on ALSA (the waves themselves come from
// platforms/posix/wave_resources_embedded.cpp). playWaveImage hands the image to a
// thread that owns the default PCM device and writes the wave in short
// pieces, so that the next request (a new wave, or a stop) cuts it off at
// once. The device opens on the first wave; when there is none the player
// stays silent, and ALSA's own messages are kept off stderr. The device is
// opened and written without blocking, and the end of the program waits for
// the thread only briefly: a device that never takes its samples (a hung
// sound server, a file plugin writing into a full pipe) holds neither the
// frames nor the exit.
#include "scene/sound_player.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platforms/alsa/sound_player_alsa.h"

namespace {

struct Wave {
    const uint8_t* samples;
    uint32_t bytes;
    uint32_t channels;
    uint32_t rate;
    uint32_t bitsPerSample;
};

struct SoundPlayer {
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable ended;
    std::thread thread;
    const void* request; // the image to start; null with pending: a stop
    bool pending;
    bool quit;
    bool threadEnded;
    bool abandoned; // a thread stuck in ALSA was left behind
    snd_pcm_t* device;
    bool deviceFailed;
};

// Never destroyed: a thread left behind in an ALSA call may still wake up
// while the process ends and look at it.
SoundPlayer& player = *new SoundPlayer();

// How long the end of the program waits for the thread; a thread that is
// only between pieces ends well within it.
const std::chrono::milliseconds threadEndBound(50);

uint32_t readLe32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t readLe16(const uint8_t* p) { return p[0] | p[1] << 8; }

// The PCM format and samples of a RIFF WAVE image; false for anything else.
// The images are our own, built in, so their size comes from the RIFF header.
bool parseWave(const void* image, Wave& wave)
{
    const uint8_t* p = static_cast<const uint8_t*>(image);
    if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
        return false;
    const uint32_t end = 8 + readLe32(p + 4);
    bool haveFormat = false;
    for (uint32_t at = 12; at + 8 <= end;) {
        const uint32_t size = readLe32(p + at + 4);
        if (std::memcmp(p + at, "fmt ", 4) == 0 && size >= 16) {
            if (readLe16(p + at + 8) != 1)
                return false;
            wave.channels = readLe16(p + at + 10);
            wave.rate = readLe32(p + at + 12);
            wave.bitsPerSample = readLe16(p + at + 22);
            haveFormat = true;
        } else if (std::memcmp(p + at, "data", 4) == 0) {
            wave.samples = p + at + 8;
            wave.bytes = size < end - at - 8 ? size : end - at - 8;
            return haveFormat && wave.channels > 0 && (wave.bitsPerSample == 8 || wave.bitsPerSample == 16);
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

void ignoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

bool openDevice()
{
    if (player.device != nullptr)
        return true;
    if (player.deviceFailed)
        return false;
    snd_lib_error_set_handler(ignoreAlsaMessage);
    if (snd_pcm_open(&player.device, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        player.device = nullptr;
        player.deviceFailed = true;
        return false;
    }
    return true;
}

// True when a new request has come in (the caller stops this wave).
bool interrupted()
{
    std::lock_guard<std::mutex> hold(player.lock);
    return player.pending || player.quit;
}

void playOnDevice(const void* image)
{
    Wave wave = {};
    if (image == nullptr || !parseWave(image, wave) || !openDevice())
        return;
    const snd_pcm_format_t format = wave.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if (snd_pcm_set_params(player.device, format, SND_PCM_ACCESS_RW_INTERLEAVED, wave.channels, wave.rate, 1,
                           100000) < 0)
        return;
    const uint32_t frameBytes = wave.channels * wave.bitsPerSample / 8;
    const uint32_t frames = wave.bytes / frameBytes;
    // Pieces of about 20 ms, and waits for room of at most that long: a new
    // request waits no longer.
    const uint32_t piece = wave.rate / 50 > 0 ? wave.rate / 50 : 1;
    for (uint32_t done = 0; done < frames && !interrupted();) {
        const uint32_t count = frames - done < piece ? frames - done : piece;
        const snd_pcm_sframes_t written = snd_pcm_writei(player.device, wave.samples + done * frameBytes, count);
        if (written == -EAGAIN) {
            snd_pcm_wait(player.device, 20);
            continue;
        }
        if (written < 0) {
            if (snd_pcm_recover(player.device, static_cast<int>(written), 1) < 0)
                return;
            continue;
        }
        done += static_cast<uint32_t>(written);
    }
    // The last part still in the device's buffer (at most the 100 ms asked
    // for above) plays out; a new request, or the end of the program, cuts
    // it off. The drain then only hands on what plugins hold back: without
    // blocking it does not wait for the device.
    snd_pcm_sframes_t queued = 0;
    while (!interrupted() && snd_pcm_delay(player.device, &queued) == 0 && queued > 0)
        usleep(5000);
    if (!interrupted())
        snd_pcm_drain(player.device);
}

void runPlayer()
{
    std::unique_lock<std::mutex> hold(player.lock);
    for (;;) {
        player.wake.wait(hold, [] { return player.pending || player.quit; });
        if (player.quit)
            break;
        const void* image = player.request;
        player.pending = false;
        hold.unlock();
        // Whatever still sounds from the last wave ends here.
        if (player.device != nullptr)
            snd_pcm_drop(player.device);
        playOnDevice(image);
        hold.lock();
    }
    player.threadEnded = true;
    player.ended.notify_all();
}

} // namespace

void playWaveImage(const void* image)
{
    std::lock_guard<std::mutex> hold(player.lock);
    // A stop before anything ever played needs no thread and no device; a
    // device that hung once stays silent.
    if ((image == nullptr && !player.thread.joinable()) || player.abandoned)
        return;
    if (!player.thread.joinable())
        player.thread = std::thread(runPlayer);
    player.request = image;
    player.pending = true;
    player.wake.notify_one();
}

void closeSoundPlayer()
{
    std::unique_lock<std::mutex> hold(player.lock);
    player.quit = true;
    player.wake.notify_one();
    if (player.thread.joinable()) {
        if (!player.ended.wait_for(hold, threadEndBound, [] { return player.threadEnded; })) {
            // Stuck in ALSA: the thread and its device stay as they are
            // until the process ends.
            player.thread.detach();
            player.abandoned = true;
            return;
        }
        hold.unlock();
        player.thread.join();
        hold.lock();
    }
    player.threadEnded = false;
    if (player.device != nullptr) {
        snd_pcm_drop(player.device);
        snd_pcm_close(player.device);
        player.device = nullptr;
    }
    player.quit = false;
    player.pending = false;
}
