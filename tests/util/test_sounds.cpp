/* The sound cues of a program that carries the five WAVE resources. Wine
 * plays them on an ALSA device that writes every sound to its own file
 * (cue_capture.conf), so the tests hear what was played, whole and in
 * order. Where Wine cannot refuse for good, a stand-in for PlaySoundA
 * records the calls and answers as told. */
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include "testwin.h"
#include "util/instance.h"
#include "util/sounds.h"

static_assert(CUE_PLAY_FLAGS == 0x40015, "SND_RESOURCE | SND_NOSTOP | SND_ASYNC");
static_assert((CUE_PLAY_FLAGS & SND_NODEFAULT) == 0, "a missing sound falls back to the default");

struct Cue
{
    void (*play)(void);
    const char *resource;
};

static const Cue Cues[] = {
    { PlayAttentionCue, "ATTENTION_WAV" },
    { PlayIpAcceptCue, "IP_ACCEPT_WAV" },
    { PlayIpRejectCue, "IP_REJECT_WAV" },
    { PlayFailureCue, "FAILURE_WAV" },
    { PlaySuccessCue, "SUCCESS_WAV" },
};

/* What the stand-in saw and how it answers: refuse the first `refusals`
 * calls (all of them when negative), then accept or hand over to the
 * real PlaySoundA. */
struct PlayCall
{
    std::string sound;
    HMODULE module;
    DWORD flags;
    BOOL result;
};
static std::vector<PlayCall> Calls;
static int Refusals;
static bool ForwardToPlatform;
/* The library's own player, as it was when the program started. */
static PLAY_SOUND_ROUTINE PlatformRoutine;

static BOOL WINAPI StandInPlaySound(LPCSTR sound, HMODULE module, DWORD flags)
{
    BOOL result;
    if (Refusals < 0 || (int)Calls.size() < Refusals)
        result = FALSE;
    else
        result = ForwardToPlatform ? PlaySoundA(sound, module, flags) : TRUE;
    Calls.push_back({ sound, module, flags, result });
    return result;
}

/* Wine refuses a SND_NOSTOP request exactly while a sound plays; a NULL
 * sound asks without starting one. */
static bool SoundPlaying()
{
    return !PlaySoundA(NULL, NULL, SND_NOSTOP);
}

class SoundCues : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PlatformRoutine)
            PlatformRoutine = PlaySoundRoutine;
        ModuleInstance = GetModuleHandleA(NULL);
        Calls.clear();
        Refusals = 0;
        ForwardToPlatform = false;
        PlaySoundRoutine = StandInPlaySound;
    }

    void TearDown() override
    {
        PlaySoundRoutine = PlatformRoutine;
        SoundCuesMuted = 0;
    }
};

TEST(SoundCuesStart, Unmuted)
{
    EXPECT_EQ(SoundCuesMuted, 0);
}

TEST_F(SoundCues, EachCueAsksForItsResourceOnce)
{
    for (const Cue &cue : Cues)
    {
        Calls.clear();
        cue.play();
        ASSERT_EQ(Calls.size(), 1u) << cue.resource;
        EXPECT_EQ(Calls[0].sound, cue.resource);
        EXPECT_EQ(Calls[0].module, ModuleInstance) << cue.resource;
        EXPECT_EQ(Calls[0].flags, (DWORD)CUE_PLAY_FLAGS) << cue.resource;
    }
}

TEST_F(SoundCues, MutedCuesMakeNoPlatformCall)
{
    static const int mutes[] = { 1, -1, 0x10000 };
    for (int mute : mutes)
    {
        SoundCuesMuted = mute;
        for (const Cue &cue : Cues)
            cue.play();
        EXPECT_TRUE(Calls.empty()) << mute;
        EXPECT_EQ(SoundCuesMuted, mute) << "the library never writes the switch";
    }
    SoundCuesMuted = 0;
    PlaySuccessCue();
    EXPECT_EQ(Calls.size(), 1u);
}

TEST_F(SoundCues, RefusalsAreRepeatedUntilTheCueIsTaken)
{
    static const int counts[] = { 1, 3, 25 };
    for (int count : counts)
    {
        Calls.clear();
        Refusals = count;
        PlayIpRejectCue();
        ASSERT_EQ(Calls.size(), (size_t)count + 1);
        for (const PlayCall &call : Calls)
        {
            EXPECT_EQ(call.sound, "IP_REJECT_WAV");
            EXPECT_EQ(call.flags, (DWORD)CUE_PLAY_FLAGS);
        }
        EXPECT_TRUE(Calls.back().result);
    }
}

TEST_F(SoundCues, GiveUpWhenThePlatformRefusesForGood)
{
    Refusals = -1;
    DWORD start = GetTickCount();
    PlayAttentionCue();
    DWORD spent = GetTickCount() - start;

    /* It returned: the repetition is bounded, and not before it has
     * outlasted any cue sound. */
    EXPECT_GT(Calls.size(), 1u);
    EXPECT_GE(spent, (DWORD)CUE_WAIT_LIMIT_MS);
    for (const PlayCall &call : Calls)
        EXPECT_FALSE(call.result);
}

/* The cues on the platform's player, heard through the capture device. */
class CueSounds : public SoundCues
{
protected:
    void SetUp() override
    {
        SoundCues::SetUp();
        ForwardToPlatform = true;
        const char *capture = getenv("TARNELL_CUE_CAPTURE");
        ASSERT_TRUE(capture && *capture)
            << "TARNELL_CUE_CAPTURE and ALSA_CONFIG_PATH come from CTest (cue_capture.conf)";
        ASSERT_GT(waveOutGetNumDevs(), 0u) << "no wave device: ALSA_CONFIG_PATH not set up";
        /* Wine shows the Unix root as drive Z:. */
        captureFile = std::string("Z:") + capture;
        for (char &c : captureFile)
            if (c == '/')
                c = '\\';
        std::string folder = captureFile.substr(0, captureFile.rfind('\\'));
        CreateDirectoryA(folder.c_str(), NULL);
        ASSERT_TRUE(WaitUntil([] { return !SoundPlaying(); }));
        DeleteCaptures();
    }

    /* The capture device writes the first sound to the file itself and
     * each later one to the file with .0001, .0002 ... appended. */
    std::string CaptureName(int index)
    {
        char suffix[16] = "";
        if (index > 0)
            wsprintfA(suffix, ".%04d", index);
        return captureFile + suffix;
    }

    void DeleteCaptures()
    {
        for (int i = 0; FileExists(CaptureName(i)) || i < 8; i++)
            DeleteFileA(CaptureName(i).c_str());
    }

    /* Waits for the capture file to reach the size of the expected
     * samples, then returns what it holds. */
    std::string Heard(int index, size_t expectedSize)
    {
        std::string name = CaptureName(index);
        WaitUntil([&] { return ReadTextFile(name).size() >= expectedSize && !SoundPlaying(); });
        return ReadTextFile(name);
    }

    std::string captureFile;
};

/* The sample bytes of a WAVE resource of this program: its "data" chunk. */
static std::string ResourceSamples(const char *name)
{
    HRSRC found = FindResourceA(NULL, name, "WAVE");
    if (!found)
        return "";
    const char *riff = (const char *)LockResource(LoadResource(NULL, found));
    DWORD size = SizeofResource(NULL, found);
    /* RIFF header, then chunks of id, 32-bit size and body. */
    for (DWORD at = 12; at + 8 <= size;)
    {
        DWORD chunkSize = *(const DWORD *)(riff + at + 4);
        if (memcmp(riff + at, "data", 4) == 0)
            return std::string(riff + at + 8, chunkSize);
        at += 8 + chunkSize + (chunkSize & 1);
    }
    return "";
}

TEST_F(CueSounds, EachCueIsHeardWholeAndReturnsWhileItPlays)
{
    /* The library's own player, as a program uses it. */
    PlaySoundRoutine = PlatformRoutine;
    int index = 0;
    for (const Cue &cue : Cues)
    {
        std::string samples = ResourceSamples(cue.resource);
        ASSERT_FALSE(samples.empty()) << cue.resource;
        cue.play();
        /* Returned as soon as the sound started, not at its end. */
        EXPECT_TRUE(SoundPlaying()) << cue.resource;
        EXPECT_TRUE(Heard(index, samples.size()) == samples) << cue.resource;
        index++;
    }
    EXPECT_TRUE(Calls.empty());
}

TEST_F(CueSounds, BackToBackTheSecondWaitsForTheFirstToEnd)
{
    std::string failure = ResourceSamples("FAILURE_WAV");
    std::string success = ResourceSamples("SUCCESS_WAV");

    PlayFailureCue();
    ASSERT_EQ(Calls.size(), 1u);
    ASSERT_TRUE(SoundPlaying());
    PlaySuccessCue();

    /* The platform refused the second cue while the first played, and
     * took it only when the first had ended: both are heard whole, the
     * failure first. */
    ASSERT_GT(Calls.size(), 2u);
    for (size_t i = 1; i + 1 < Calls.size(); i++)
        EXPECT_FALSE(Calls[i].result) << i;
    EXPECT_TRUE(Calls.back().result);
    EXPECT_EQ(Calls.back().sound, "SUCCESS_WAV");
    EXPECT_TRUE(SoundPlaying());
    EXPECT_TRUE(Heard(0, failure.size()) == failure);
    EXPECT_TRUE(Heard(1, success.size()) == success);
}

TEST_F(CueSounds, ACueWhoseResourceIsMissingReturnsAtOnce)
{
    /* A module without any WAVE resource. The cue asks without
     * SND_NODEFAULT, so Windows plays the default sound in its place;
     * Wine 8 plays nothing for a missing resource. */
    ModuleInstance = GetModuleHandleA("kernel32.dll");
    ASSERT_TRUE(ModuleInstance != NULL);
    ASSERT_TRUE(FindResourceA(ModuleInstance, "SUCCESS_WAV", "WAVE") == NULL);

    PlaySuccessCue();
    ASSERT_EQ(Calls.size(), 1u);
    EXPECT_TRUE(Calls[0].result);
    EXPECT_EQ(Calls[0].module, ModuleInstance);
    EXPECT_EQ(Calls[0].flags & SND_NODEFAULT, 0u);
    /* Whatever the platform made of it has ended: nothing waits on. */
    EXPECT_TRUE(WaitUntil([] { return !SoundPlaying(); }));
}
