// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/analysis/butterworth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using Complex = std::complex<double>;

// The bilinear transform with s = (z - 1) / (z + 1); the edges are pre-warped to match.
Complex toZ(Complex s) {
    return (1.0 + s) / (1.0 - s);
}

double prewarp(double f) {
    return std::tan(std::numbers::pi * f);
}

// A section from two poles that are a conjugate pair or both real, or from one real pole.
Biquad denominator(Complex z1, std::optional<Complex> z2) {
    Biquad q;
    if (!z2) {
        q.a1 = -z1.real();
        return q;
    }
    q.a1 = -(z1 + *z2).real();
    q.a2 = (z1 * *z2).real();
    return q;
}

Complex sectionResponse(const Biquad& q, Complex zInverse) {
    return (q.b0 + zInverse * (q.b1 + zInverse * q.b2)) /
           (1.0 + zInverse * (q.a1 + zInverse * q.a2));
}

// The left-half-plane poles of the order-n prototype with cut-off 1: one of each conjugate
// pair (imaginary part above 0), and -1 for an odd order.
std::vector<Complex> prototypePoles(int n) {
    std::vector<Complex> poles;
    for (int k = 0; 2 * k + 1 < n; ++k) {
        const double theta = std::numbers::pi * (2 * k + 1) / (2.0 * n);
        poles.emplace_back(-std::sin(theta), std::cos(theta));
    }
    if (n % 2 == 1) {
        poles.emplace_back(-1.0, 0.0);
    }
    return poles;
}

} // namespace

std::vector<Biquad> DesignButterworth(const FilterSetting& setting) {
    struct Pending {
        Biquad q;
        double radius; // of the poles, for the order of sections
        bool firstOrder;
    };
    std::vector<Pending> sections;
    const auto add = [&](Complex z1, std::optional<Complex> z2) {
        sections.push_back(
            {denominator(z1, z2), std::max(std::abs(z1), z2 ? std::abs(*z2) : 0.0), !z2});
    };
    const std::vector<Complex> proto = prototypePoles(setting.Order);
    const double w1 = prewarp(setting.Low);
    switch (setting.Kind) {
    case FilterKind::Lowpass:
    case FilterKind::Highpass:
        for (const Complex p : proto) {
            const Complex s = setting.Kind == FilterKind::Lowpass ? w1 * p : w1 / p;
            const Complex z = toZ(s);
            if (p.imag() == 0) {
                add(Complex(z.real(), 0), std::nullopt);
            } else {
                add(z, std::conj(z));
            }
        }
        break;
    case FilterKind::Bandpass:
    case FilterKind::Bandstop: {
        const double w2 = prewarp(setting.High);
        const double bw = w2 - w1;
        const double w0Squared = w1 * w2;
        for (const Complex p : proto) {
            // Each prototype pole becomes two: the roots of s^2 - 2us + w0^2 (band-pass, u from
            // p) or the same with u from 1/p (band-stop).
            const Complex u = setting.Kind == FilterKind::Bandpass ? p * bw / 2.0 : bw / 2.0 / p;
            const Complex root = std::sqrt(u * u - w0Squared);
            const Complex z1 = toZ(u + root);
            const Complex z2 = toZ(u - root);
            if (p.imag() == 0) {
                add(z1, z2); // a conjugate pair or two real poles
            } else {
                add(z1, std::conj(z1));
                add(z2, std::conj(z2));
            }
        }
        break;
    }
    default:
        return {};
    }
    std::stable_sort(sections.begin(), sections.end(),
                     [](const Pending& a, const Pending& b) { return a.radius < b.radius; });

    // Numerators: the zeros of each kind, scaled so each section passes 1 where the whole
    // filter does (its gains then multiply to the filter's).
    const double w2 = IsBand(setting.Kind) ? prewarp(setting.High) : 0.0;
    const double w0Squared = w1 * w2;
    // The centre frequency's cos and sin: 2 atan(w0), written so small w0 loses no digits.
    const double cosCentre = (1 - w0Squared) / (1 + w0Squared);
    const double sinCentre = 2 * std::sqrt(w0Squared) / (1 + w0Squared);
    std::vector<Biquad> out;
    for (Pending& pending : sections) {
        Biquad q = pending.q;
        const bool first = pending.firstOrder;
        switch (setting.Kind) {
        case FilterKind::Lowpass:
            q.b0 = 1, q.b1 = first ? 1 : 2, q.b2 = first ? 0 : 1;
            break;
        case FilterKind::Highpass:
            q.b0 = 1, q.b1 = first ? -1 : -2, q.b2 = first ? 0 : 1;
            break;
        case FilterKind::Bandpass:
            q.b0 = 1, q.b1 = 0, q.b2 = -1;
            break;
        default:
            q.b0 = 1, q.b1 = -2 * cosCentre, q.b2 = 1;
            break;
        }
        Complex zInverse = 1.0; // DC
        if (setting.Kind == FilterKind::Highpass) {
            zInverse = -1.0; // Nyquist
        } else if (setting.Kind == FilterKind::Bandpass) {
            zInverse = Complex(cosCentre, -sinCentre);
        }
        const double gain = 1.0 / std::abs(sectionResponse(q, zInverse));
        q.b0 *= gain;
        q.b1 *= gain;
        q.b2 *= gain;
        out.push_back(q);
    }
    return out;
}

bool SectionsStable(const std::vector<Biquad>& sections) {
    // Both roots of z^2 + a1 z + a2 inside the unit circle (the stability triangle).
    return std::all_of(sections.begin(), sections.end(), [](const Biquad& q) {
        return std::isfinite(q.a1) && std::isfinite(q.a2) && std::abs(q.a2) < 1 &&
               std::abs(q.a1) < 1 + q.a2;
    });
}

std::complex<double> SectionsResponse(const std::vector<Biquad>& sections, double f) {
    const Complex zInverse = std::polar(1.0, -2 * std::numbers::pi * f);
    Complex h = 1.0;
    for (const Biquad& q : sections) {
        h *= sectionResponse(q, zInverse);
    }
    return h;
}
