// Version numbers shared by both deliverables' version blocks.
#pragma once
#define VELMORA_VERSION_NUM 1,0,0,5
#define VELMORA_VERSION_STR "1, 0, 0, 5"
#define VELMORA_COMPANY "Quor"
#define VELMORA_NOTICE "Copyright (C) 2026 Quor. All rights reserved."
