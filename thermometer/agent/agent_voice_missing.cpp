// Built when the speech output is not part of the build: the character
// shows its speech balloon and stays silent.
#include <string>

void SpeakWithDefaultVoice(const std::string&) {}
void StopDefaultVoice() {}
