#pragma once
// Resource numbers of Pelcato.dll, shared by its resource script and its code.
// (Resource 2 of type manifest is the manifest for common controls 6.)

#define IDI_SETUP_FORM 100
