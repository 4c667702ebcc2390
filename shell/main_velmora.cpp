// main_velmora.cpp -- the final build's program entry. No command line.
#include "shell.h"

int main()
{
    return show_main(Variant::final_build);
}
