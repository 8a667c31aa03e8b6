// Renders a number of frames through the built plug-in, as a host does: the
// module's VSTPluginMain, the usual opening calls, the program as a chunk and
// then processReplacing block after block. tests/bench/instructions_per_frame.sh
// runs it under callgrind twice with different lengths and subtracts, which
// leaves the cost per frame of everything a block costs the plug-in: the
// adaptor, the engine's render loop and the chain.
// Usage: plugin_frames heavy|empty FRAMES [BLOCK]; BLOCK (default 256, at
// most 1024) is the number of frames handed to processReplacing per call.
#include "effect/product/ProgramChunk.h"
#include "framework/vst/VstOpcodes.h"
#include "framework/vst/VstRecords.h"
#include "framework/vst/host/PluginModule.h"
#include "tests/bench/chain_programs.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A host with its transport running at a steady tempo; the plug-in asks for
// it on every block.
VstTimeInfo timeInfo {};

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<VstIntPtr>(&timeInfo);
    return 0;
}

VstIntPtr dispatch(
    AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

}  // namespace

int main(int argc, char** argv)
{
    chainbench::FrameRun run {};
    if (!chainbench::parseFrameRun(argc, argv, run))
        return 2;
    const long frames = run.frames;
    const int block = run.block;
    constexpr int kMaxBlock = chainbench::kMaxBlock;
    constexpr double kRate = 48000.0;
    timeInfo.sampleRate = kRate;
    timeInfo.tempo = 120.0;
    timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid;

    const std::string folder = TB_MODULE_DIR;
    PluginModule module(folder + "/Tambrell.so");
    const VstPluginEntry entry = module.entry("VSTPluginMain");
    if (!entry) {
        std::fprintf(stderr, "cannot load %s/Tambrell.so: %s\n", folder.c_str(), module.error().c_str());
        return 1;
    }
    AEffect* effect = nullptr;
    {
        ScopedCurrentFolder inFolder(folder);
        effect = entry(&hostCallback);
    }
    if (!effect || effect->numInputs != 2 || effect->numOutputs != 2) {
        std::fprintf(stderr, "no stereo instance\n");
        return 1;
    }
    dispatch(effect, effOpen);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    dispatch(effect, effSetBlockSize, 0, block);
    const chainbench::Values& program = run.program;
    uint8_t chunk[programchunk::kSize];
    programchunk::write(program.v, program.name.c_str(), chunk);
    if (dispatch(effect, effSetChunk, 0, programchunk::kSize, chunk) != programchunk::kSize) {
        std::fprintf(stderr, "chunk refused\n");
        return 1;
    }
    dispatch(effect, effMainsChanged, 0, 1);
    dispatch(effect, effStartProcess);

    // One second of input, played round and round: its making costs the same
    // in every run and drops out of the difference.
    const std::vector<float> in = chainbench::guitarLike(kRate, 48000);
    float l[kMaxBlock], r[kMaxBlock], ol[kMaxBlock], orr[kMaxBlock];
    float* inputs[2] = {l, r};
    float* outputs[2] = {ol, orr};
    float sink = 0.0f;
    long at = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long done = 0; done < frames; done += block) {
        const int n = static_cast<int>(std::min<long>(block, frames - done));
        for (int k = 0; k < n; ++k) {
            l[k] = in[static_cast<size_t>(at)];
            r[k] = l[k];
            at = at + 1 == static_cast<long>(in.size()) ? 0 : at + 1;
        }
        effect->processReplacing(effect, inputs, outputs, n);
        sink += ol[0] + orr[n - 1];
        timeInfo.samplePos += n;
    }
    const auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s through the plug-in: %ld frames in blocks of %d, %.1f ns per frame (checksum %g)\n", run.label,
        frames, block, frames ? ns / frames : 0.0, static_cast<double>(sink));

    dispatch(effect, effStopProcess);
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effClose);
    return 0;
}
