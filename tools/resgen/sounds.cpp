// Each effect is a few noise and oscillator voices through filters, shaped by
// an envelope (smooth rise, loud sustained part, cubic fade to silence) and
// scaled so that its loudest sample uses the full 8-bit range. All voices
// are band-limited below the 5.5 kHz that 11025 samples a second can carry.
#include "tools/resgen/sounds.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kSoundRate;

// Deterministic white noise, -1 .. 1.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_ / 2147483648.0 - 1.0;
    }

private:
    uint32_t state_;
};

// Slowly wandering value, -1 .. 1: noise through two low passes.
class Wander {
public:
    Wander(uint32_t seed, double hertz) : noise_(seed), k_(1 - std::exp(-2 * kPi * hertz / kRate)) {}
    double next()
    {
        a_ += k_ * (noise_.next() * 12 - a_);
        b_ += k_ * (a_ - b_);
        return std::clamp(b_, -1.0, 1.0);
    }

private:
    Noise noise_;
    double k_;
    double a_ = 0, b_ = 0;
};

class LowPass {
public:
    double run(double x, double hertz)
    {
        const double k = 1 - std::exp(-2 * kPi * hertz / kRate);
        y_ += k * (x - y_);
        return y_;
    }

private:
    double y_ = 0;
};

// State-variable band pass (trapezoidal form), stable under fast sweeps.
class BandPass {
public:
    double run(double x, double hertz, double q)
    {
        const double g = std::tan(kPi * std::min(hertz, kRate * 0.45) / kRate);
        const double k = 1 / q;
        const double a1 = 1 / (1 + g * (g + k));
        const double v1 = a1 * (s1_ + g * (x - s2_));
        const double v2 = s2_ + g * v1;
        s1_ = 2 * v1 - s1_;
        s2_ = 2 * v2 - s2_;
        return v1 * k; // unity gain at the centre
    }

private:
    double s1_ = 0, s2_ = 0;
};

class DcBlock {
public:
    double run(double x)
    {
        y_ = x - x1_ + 0.997 * y_;
        x1_ = x;
        return y_;
    }

private:
    double x1_ = 0, y_ = 0;
};

// An oscillator's angle, 0 .. 2 pi, one sample further per call.
class Phase {
public:
    double advance(double hertz)
    {
        angle_ += 2 * kPi * hertz / kRate;
        if (angle_ > 2 * kPi)
            angle_ -= 2 * kPi;
        return angle_;
    }

private:
    double angle_ = 0;
};

// Sawtooth made of its harmonics below the band limit, so it does not alias.
class Buzz {
public:
    double run(double hertz, double brightness = 1.0)
    {
        const double angle = phase_.advance(hertz);
        const int harmonics = std::max(1, int(kRate * 0.42 / hertz));
        double sum = 0;
        for (int h = 1; h <= harmonics; ++h)
            sum += std::sin(h * angle) / std::pow(h, brightness);
        return sum * 0.55;
    }

private:
    Phase phase_;
};

class Sine {
public:
    double run(double hertz, double phaseOffset = 0) { return std::sin(phase_.advance(hertz) + phaseOffset); }

private:
    Phase phase_;
};

const SoundShape kShapes[kSoundCount] = {
    {38249, 0.04, 1.80}, // engine roar: full level for about 1.75 s
    {33100, 0.25, 2.15}, // fly-by: a quarter second rise, then about 1.9 s
    {17408, 0.02, 1.20}, // warp: an even level for about 1.2 s
};

// 0 at the first and last sample, 1 across the sustained part.
double envelope(const SoundShape& s, uint32_t n)
{
    const double t = n / kRate;
    const double end = (s.sampleCount - 1) / kRate;
    if (t < s.attackSeconds)
        return 0.5 - 0.5 * std::cos(kPi * t / s.attackSeconds);
    if (t <= s.sustainSeconds)
        return 1.0;
    const double u = std::min(1.0, (t - s.sustainSeconds) / (end - s.sustainSeconds));
    return std::pow(1 - u, 3.0);
}

std::vector<double> engineRoar(const SoundShape& s)
{
    Noise noise(0x5EED0001);
    Wander turbulence(0x5EED0002, 3.0), wobble(0x5EED0003, 6.0);
    LowPass rumble1, rumble2, droneTone, distance1, distance2;
    BandPass roar, hiss;
    Buzz drone;
    Sine whine, whine2;
    std::vector<double> out(s.sampleCount);
    const double release = s.sustainSeconds;
    for (uint32_t n = 0; n < s.sampleCount; ++n) {
        const double t = n / kRate;
        const double fading = std::max(0.0, t - release) / (s.sampleCount / kRate - release);
        const double w = noise.next();
        const double low = rumble2.run(rumble1.run(w, 160), 160) * 9.0;
        const double mid = roar.run(w, 650 * (1 + 0.25 * turbulence.next()), 0.8);
        const double high = hiss.run(w, 2600, 1.5) * 0.25;
        const double throb = 46 * (1 + 0.015 * wobble.next()) * (1 - 0.25 * fading);
        const double tone = droneTone.run(drone.run(throb, 0.9), 700);
        // Turbine whine: spools up through the loud part, winds down in the fade.
        const double spin = t < release ? 1150 + 150 * t / release : 1300 - 500 * fading;
        const double whir = 0.10 * whine.run(spin) + 0.04 * whine2.run(spin * 2.01);
        double x = 0.95 * low + 0.75 * mid + high + 0.55 * tone + whir;
        x = std::tanh(1.6 * x);
        // The roar dulls as the engine draws away.
        const double cutoff = 2800 - 2300 * std::sqrt(fading);
        out[n] = distance2.run(distance1.run(x, cutoff), cutoff);
    }
    return out;
}

std::vector<double> flyBy(const SoundShape& s)
{
    Noise noise(0x5EED0101);
    Wander flutter(0x5EED0102, 9.0);
    BandPass whoosh, body;
    LowPass air, buzzTone;
    Buzz engine, engine2;
    Sine whine;
    std::vector<double> out(s.sampleCount);
    const double passing = 1.25;   // seconds: the moment of closest approach
    const double closeness = 0.40; // seconds: how quickly it goes by
    const double speed = 0.32;     // fraction of the speed of sound
    for (uint32_t n = 0; n < s.sampleCount; ++n) {
        const double t = n / kRate;
        const double d = (t - passing) / closeness;
        const double radial = d / std::sqrt(d * d + 1);           // -1 approaching .. 1 leaving
        const double pitch = 1 / (1 + speed * radial);             // Doppler shift
        const double near = 1 / std::sqrt(d * d + 1);               // 1 at the closest point
        const double w = noise.next();
        const double rush = whoosh.run(w, 1700 * pitch * pitch, 1.3) * 1.2 + body.run(w, 420 * pitch, 0.9) * 0.8;
        const double hum = buzzTone.run(engine.run(118 * pitch, 1.1) + engine2.run(119.3 * pitch, 1.1), 1600);
        const double tone = 0.18 * whine.run(880 * pitch) * (1 + 0.2 * flutter.next());
        double x = (0.8 + 0.2 * near) * (rush + 0.45 * hum + tone);
        x = std::tanh(1.3 * x);
        out[n] = air.run(x, 1300 + 3700 * near);
    }
    return out;
}

std::vector<double> warpJump(const SoundShape& s)
{
    Noise noise(0x5EED0201);
    BandPass sparkle;
    Sine carrier, modulator, fifth, tremolo;
    std::vector<double> out(s.sampleCount);
    for (uint32_t n = 0; n < s.sampleCount; ++n) {
        const double t = n / kRate;
        const double progress = t / s.sustainSeconds;
        // The drive charges up: the pitch climbs three octaves and a bit,
        // the growl of the frequency modulation thins out as it rises.
        const double base = 170 * std::pow(2.0, 3.2 * std::min(progress, 1.3));
        const double index = 2.6 - 1.8 * std::min(progress, 1.0);
        const double fm = index * modulator.run(base * 0.5);
        const double voice = carrier.run(base, fm);
        const double shimmer = 0.35 * fifth.run(base * 1.5 * (1 + 0.004 * std::sin(2 * kPi * 5.5 * t)));
        const double spark = 0.9 * sparkle.run(noise.next(), std::min(4800.0, base * 2.2), 3.0);
        const double warble = 1 - 0.22 * (0.5 + 0.5 * tremolo.run(14 + 10 * progress));
        // No wave shaping here: it would fold the sweep's overtones back
        // below the band limit as whistles.
        out[n] = warble * (voice + shimmer + spark);
    }
    return out;
}

} // namespace

SoundShape soundShape(int sound) { return kShapes[std::clamp(sound, 0, kSoundCount - 1)]; }

std::vector<uint8_t> synthesizeSound(int sound)
{
    const SoundShape s = soundShape(sound);
    std::vector<double> x = sound == 0 ? engineRoar(s) : sound == 1 ? flyBy(s) : warpJump(s);
    DcBlock dc;
    double peak = 1e-9;
    for (uint32_t n = 0; n < s.sampleCount; ++n) {
        x[n] = dc.run(x[n]) * envelope(s, n);
        peak = std::max(peak, std::fabs(x[n]));
    }
    std::vector<uint8_t> samples(s.sampleCount);
    for (uint32_t n = 0; n < s.sampleCount; ++n)
        samples[n] = uint8_t(std::clamp(std::lround(128 + 127 * x[n] / peak), 0L, 255L));
    return samples;
}
