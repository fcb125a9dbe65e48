/*
 * Five sound cues, each a WAVE resource of the program's own module
 * (ModuleInstance) played without waiting for it to end. A cue asked for
 * while an earlier sound plays waits for that sound to end and then
 * starts, so cues never cut one another off; a cue that the platform
 * refuses for longer than CUE_WAIT_LIMIT_MS is dropped silently.
 * SoundCuesMuted, set by the program, silences them all. GUI thread only.
 */
#ifndef UTIL_SOUNDS_H
#define UTIL_SOUNDS_H

#include <windows.h>
#include <mmsystem.h>

#define CUE_PLAY_FLAGS (SND_RESOURCE | SND_NOSTOP | SND_ASYNC)

/* Longer than any cue sound: a refusal that lasts longer is not a sound
 * in progress but a platform that cannot play (no wave device). */
#define CUE_WAIT_LIMIT_MS 5000
/* Pause between two refused attempts, so that the wait leaves the
 * processor to the sound that plays. */
#define CUE_RETRY_PAUSE_MS 1

#define ATTENTION_WAV "ATTENTION_WAV"
#define IP_ACCEPT_WAV "IP_ACCEPT_WAV"
#define IP_REJECT_WAV "IP_REJECT_WAV"
#define FAILURE_WAV   "FAILURE_WAV"
#define SUCCESS_WAV   "SUCCESS_WAV"

/* 0 when the process starts; any other value silences the cues. Read by
 * the library, written only by the program. */
extern int SoundCuesMuted;

/* The platform's PlaySoundA unless a test puts in its own to produce a
 * refusal that the platform cannot. */
typedef BOOL (WINAPI *PLAY_SOUND_ROUTINE)(LPCSTR sound, HMODULE module, DWORD flags);
extern PLAY_SOUND_ROUTINE PlaySoundRoutine;

void PlayAttentionCue(void);
void PlayIpAcceptCue(void);
void PlayIpRejectCue(void);
void PlayFailureCue(void);
void PlaySuccessCue(void);

#endif
