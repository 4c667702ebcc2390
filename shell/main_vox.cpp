// main_vox.cpp -- the earlier build, with the voxel landscape. No command line.
#include "shell.h"

int main()
{
    return show_main(Variant::vox_build);
}
