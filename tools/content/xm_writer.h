// Writes XM modules from patterns, instruments and synthesized samples.
#pragma once
