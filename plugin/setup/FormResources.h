#pragma once
// Resource numbers of the setup form, shared by the plug-in's resource script
// and the form's code. (Resource 2 of type manifest is the plug-in's manifest
// for common controls 6.)

#define IDI_SETUP_FORM 100
