// windchill: wind chill from a temperature (F) and a wind speed (knots).
int main() { return 0; }
