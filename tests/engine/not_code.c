/* A library that names its data BTRCALL: the engine loader must refuse it. */
int BTRCALL = 7;
