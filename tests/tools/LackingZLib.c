/* A real shared library that has two of the three entry points the launcher looks up, but not
   inflateEnd. */
int inflateInit_(void* Stream, const char* Version, int StreamSize)
{
    (void)Stream;
    (void)Version;
    (void)StreamSize;
    return -6;
}

int inflate(void* Stream, int Flush)
{
    (void)Stream;
    (void)Flush;
    return -2;
}
