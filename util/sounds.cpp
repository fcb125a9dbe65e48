/* The sound cues: one player, five resource names. */
#include "sounds.h"
#include "instance.h"

int SoundCuesMuted = 0;
PLAY_SOUND_ROUTINE PlaySoundRoutine = PlaySoundA;

/* SND_NOSTOP makes the platform refuse while an earlier sound plays:
 * try again until it takes the cue, but not for ever, since it also
 * refuses when it cannot play at all. */
static void PlayCue(LPCSTR resourceName)
{
    DWORD start;

    if (SoundCuesMuted)
        return;
    start = GetTickCount();
    while (!PlaySoundRoutine(resourceName, ModuleInstance, CUE_PLAY_FLAGS))
    {
        /* Unsigned difference: correct across the tick count's wrap. */
        if (GetTickCount() - start >= CUE_WAIT_LIMIT_MS)
            return;
        Sleep(CUE_RETRY_PAUSE_MS);
    }
}

void PlayAttentionCue(void)
{
    PlayCue(ATTENTION_WAV);
}

void PlayIpAcceptCue(void)
{
    PlayCue(IP_ACCEPT_WAV);
}

void PlayIpRejectCue(void)
{
    PlayCue(IP_REJECT_WAV);
}

void PlayFailureCue(void)
{
    PlayCue(FAILURE_WAV);
}

void PlaySuccessCue(void)
{
    PlayCue(SUCCESS_WAV);
}
