// anchor for the precompiled header target
