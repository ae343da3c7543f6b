#include "resampling_sink.h"

#include <soxr.h>

#include <cmath>
#include <string>

#include "host/text/failure.h"

namespace vsthost {

ResamplingSink::ResamplingSink(AudioSink& next, std::int32_t channels, double fromRate, double toRate)
    : next_(next), channels_(channels), ratio_(toRate / fromRate) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    resampler_ = soxr_create(fromRate, toRate, static_cast<unsigned>(channels), &error, &io, &quality, nullptr);
    if (error != nullptr)
        throw Failure(FailureKind::output, std::string("cannot resample the output: ") + soxr_strerror(error));
}

ResamplingSink::~ResamplingSink() { soxr_delete(resampler_); }

void ResamplingSink::pass(const float* interleaved, std::int64_t frames) {
    const auto room = static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * ratio_)) + 64;
    out_.resize(room * static_cast<std::size_t>(channels_));
    std::size_t taken = 0;
    std::size_t made = 0;
    do {
        const std::size_t offered = interleaved != nullptr ? static_cast<std::size_t>(frames) - taken : 0;
        std::size_t used = 0;
        const soxr_error_t error =
            soxr_process(resampler_, interleaved != nullptr ? interleaved + taken * channels_ : nullptr, offered, &used,
                         out_.data(), room, &made);
        if (error != nullptr)
            throw Failure(FailureKind::output, std::string("cannot resample the output: ") + soxr_strerror(error));
        taken += used;
        if (made > 0) next_.write(out_.data(), static_cast<std::int64_t>(made));
    } while (interleaved != nullptr ? taken < static_cast<std::size_t>(frames) : made > 0);
}

void ResamplingSink::write(const float* interleaved, std::int64_t frames) {
    if (frames > 0) pass(interleaved, frames);
}

void ResamplingSink::finish() { pass(nullptr, 0); }

}  // namespace vsthost
