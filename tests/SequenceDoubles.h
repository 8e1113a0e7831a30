// Recording doubles of everything the launcher sequence calls, so that its ways out can be
// driven one by one and the order of message and cleanup observed. The stages themselves are
// tested for real elsewhere; here only the sequence is under test.
#pragma once
#include <string>
#include <vector>

struct SequenceScript
{
    bool TempPaths = true;
    std::string FailWriteOf;  // file name whose write fails
    bool LoadFails = false;
    bool ResolveFails = false;
    bool DecompressFails = false;
    bool ExpandFails = false;
    bool ExpandThrows = false;  // raised after the output block exists, as a stage must: block released first
    int ExpandedSize = 8;
    bool RunFails = false;
    bool RunThrows = false;
};

extern SequenceScript Script;
extern std::vector<std::string> Events;

void ResetSequenceState();
int LiveBlocks();
